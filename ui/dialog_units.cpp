// Template fonts and dialog-unit conversion.
#include "ui/dialog_units.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QStringList>

#include <cstdlib>
#include <cstring>

namespace qorvan::ui {

QFont templateFont(const char* name, int pointSize)
{
    // "System" was a heavy sans serif and "MS Sans Serif" a Helvetica-like
    // one; these families are the nearest the Debian desktop ships.
    bool system = std::strcmp(name, "System") == 0;
    static const char* const SYSTEM_FAMILIES[] = { "DejaVu Sans", "Noto Sans", "Liberation Sans" };
    static const char* const SANS_FAMILIES[] = { "Liberation Sans", "Nimbus Sans", "Arimo", "DejaVu Sans" };
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    const QStringList available = QFontDatabase::families();
    auto pick = [&](auto& families) {
        for (const char* f : families)
            if (available.contains(QString::fromLatin1(f))) return QString::fromLatin1(f);
        return font.family();
    };
    font.setFamily(system ? pick(SYSTEM_FAMILIES) : pick(SANS_FAMILIES));
    font.setPointSize(pointSize);
    font.setWeight(system ? QFont::Bold : QFont::Normal);
    return font;
}

BaseUnits baseUnits(const QFont& font)
{
    QFontMetrics fm(font);
    int letters
        = fm.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return { (letters / 26 + 1) / 2, fm.height() };
}

int mulDiv(int a, int b, int c)
{
    long long p = static_cast<long long>(a) * b;
    long long q = (std::llabs(p) + c / 2) / c;
    return static_cast<int>(p < 0 ? -q : q);
}

QRect toPixels(const DuRect& r, BaseUnits u)
{
    return { mulDiv(r.x, u.width, 4), mulDiv(r.y, u.height, 8), mulDiv(r.cx, u.width, 4),
        mulDiv(r.cy, u.height, 8) };
}

} // namespace qorvan::ui
