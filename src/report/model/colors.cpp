#include "report/model/colors.h"

#include "report/model/component.h"

namespace tw {

const std::vector<std::pair<const char *, int>> &frxStandardColors()
{
    static const std::vector<std::pair<const char *, int>> colours = {
        {"clBlack", 0x000000},   {"clMaroon", 0x000080}, {"clGreen", 0x008000},  {"clOlive", 0x008080},
        {"clNavy", 0x800000},    {"clPurple", 0x800080}, {"clTeal", 0x808000},   {"clGray", 0x808080},
        {"clSilver", 0xC0C0C0},  {"clRed", 0x0000FF},    {"clLime", 0x00FF00},   {"clYellow", 0x00FFFF},
        {"clBlue", 0xFF0000},    {"clFuchsia", 0xFF00FF}, {"clAqua", 0xFFFF00},  {"clWhite", 0xFFFFFF},
        {"clLtGray", 0xC0C0C0},  {"clDkGray", 0x808080}, {"clNone", clNone}};
    return colours;
}

bool frxStandardColor(const QString &name, int &value)
{
    for (const auto &[n, v] : frxStandardColors()) {
        if (name.compare(QLatin1String(n), Qt::CaseInsensitive) == 0) {
            value = v;
            return true;
        }
    }
    return false;
}

} // namespace tw
