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

std::vector<std::string_view> Records(std::string_view text) {
    std::vector<std::string_view> records;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        const std::string_view record = WithoutLineEnd(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (!record.empty()) records.push_back(record);
    }
    return records;
}

}  // namespace

std::string AppendedHistory(std::string_view current, std::string_view header, std::string_view lines,
                            std::size_t maxLines) {
    if (current.substr(0, kByteOrderMark.size()) == kByteOrderMark)
        current.remove_prefix(kByteOrderMark.size());
    header = WithoutLineEnd(header);

    std::vector<std::string_view> records = Records(current);
    if (!records.empty() && records.front() == header) records.erase(records.begin());
    const std::vector<std::string_view> added = Records(lines);
    records.insert(records.end(), added.begin(), added.end());

    // The header stays, and the records just added.
    const std::size_t keep = maxLines > added.size() ? maxLines - 1 : added.size();
    const std::size_t first = records.size() > keep ? records.size() - keep : 0;
    std::string text(kByteOrderMark);
    text.append(header).append(kLineEnd);
    for (std::size_t at = first; at < records.size(); ++at) text.append(records[at]).append(kLineEnd);
    return text;
}

void KeepUnwritten(std::string& kept, std::string_view line, std::size_t maxKept) {
    kept.append(WithoutLineEnd(line)).append(kLineEnd);
    std::size_t count = Records(kept).size();
    while (count-- > maxKept) kept.erase(0, kept.find('\n') + 1);
}

std::string FileBeside(std::string_view path, std::string_view name) {
    return Concat({path.substr(0, FileNameStart(path)), name});
}
