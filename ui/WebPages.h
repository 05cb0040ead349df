#pragma once

// The author credit in the window's corner, and the feedback page of the tray menu.
inline constexpr char kCreditText[] = "Pelorin主页";
inline constexpr char kCreditUrl[] = "https://pelorin.github.io/";
inline constexpr char kFeedbackUrl[] = "https://pelorin.github.io/feedback.html";
