#pragma once
// The one place where core text (UTF-8 std::string) and Qt text meet.
#include <QLocale>
#include <QString>
#include <string>
#include <string_view>

namespace lumar::ui {

inline QString ToQ(std::string_view utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

inline std::string FromQ(const QString& text) {
    return text.toUtf8().toStdString();
}

// The decimal separator of the user's locale, for FormatMegabytes and FormatStatsPanel.
inline std::string DecimalSeparator() {
    return FromQ(QLocale().decimalPoint());
}

}  // namespace lumar::ui
