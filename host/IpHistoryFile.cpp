#include "IpHistoryFile.h"

#include "Concat.h"
#include "GbkText.h"

#include <vector>

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view kLineEnd = "\r\n";

std::string_view WithoutLineEnd(std::string_view line) {
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
    return line;
}

}  // namespace

std::string AppendedHistory(std::string_view current, std::string_view header, std::string_view line,
                            std::size_t maxLines) {
    if (current.substr(0, kByteOrderMark.size()) == kByteOrderMark)
        current.remove_prefix(kByteOrderMark.size());
    header = WithoutLineEnd(header);

    std::vector<std::string_view> records;
    while (!current.empty()) {
        const std::size_t end = current.find('\n');
        const std::string_view record = WithoutLineEnd(current.substr(0, end));
        current.remove_prefix(end == std::string_view::npos ? current.size() : end + 1);
        if (!record.empty()) records.push_back(record);
    }
    if (!records.empty() && records.front() == header) records.erase(records.begin());
    records.push_back(WithoutLineEnd(line));

    // The header stays, and the record just added.
    const std::size_t keep = maxLines > 1 ? maxLines - 1 : 1;
    const std::size_t first = records.size() > keep ? records.size() - keep : 0;
    std::string text(kByteOrderMark);
    text.append(header).append(kLineEnd);
    for (std::size_t at = first; at < records.size(); ++at) text.append(records[at]).append(kLineEnd);
    return text;
}

std::string FileBeside(std::string_view path, std::string_view name) {
    return Concat({path.substr(0, FileNameStart(path)), name});
}
