#include "platform/ui/Format.h"

#include <QStringList>
#include <cmath>

namespace ui {

namespace {

QString formatSection(const QString& picture, double value, bool withSign) {
    const qsizetype point = picture.indexOf(QLatin1Char('.'));
    const QString intPart = point < 0 ? picture : picture.left(point);
    const QString fracPart = point < 0 ? QString() : picture.mid(point + 1);
    const bool grouping = intPart.contains(QLatin1Char(','));
    int minInt = int(intPart.count(QLatin1Char('0')));
    int minFrac = 0, maxFrac = 0;
    for (QChar c : fracPart) {
        if (c == QLatin1Char('0')) {
            ++minFrac;
            ++maxFrac;
        } else if (c == QLatin1Char('#')) {
            ++maxFrac;
        }
    }
    // Literal text before the first and after the last placeholder (e.g. a minus sign).
    qsizetype first = 0;
    while (first < picture.size() && !QStringLiteral("#0,.").contains(picture[first])) {
        ++first;
    }
    qsizetype last = picture.size();
    while (last > first && !QStringLiteral("#0,.").contains(picture[last - 1])) {
        --last;
    }
    const QString prefix = picture.left(first);
    const QString suffix = picture.mid(last);

    const double magnitude = std::fabs(value);
    QString digits = QString::number(magnitude, 'f', maxFrac);
    QString whole = digits.section(QLatin1Char('.'), 0, 0);
    QString frac = maxFrac > 0 ? digits.section(QLatin1Char('.'), 1) : QString();
    while (frac.size() > minFrac && frac.endsWith(QLatin1Char('0'))) {
        frac.chop(1);
    }
    if (whole == QLatin1String("0") && minInt == 0) {
        whole.clear();
    }
    while (whole.size() < minInt) {
        whole.prepend(QLatin1Char('0'));
    }
    if (grouping) {
        for (qsizetype i = whole.size() - 3; i > 0; i -= 3) {
            whole.insert(i, QLatin1Char(','));
        }
    }
    QString out = whole;
    if (!frac.isEmpty()) {
        out += QLatin1Char('.') + frac;
    }
    if (out.isEmpty()) {
        out = QStringLiteral("0");
    }
    const bool negative = value < 0 && (whole.count(QLatin1Char('0')) != whole.size() ||
                                        frac.count(QLatin1Char('0')) != frac.size());
    if (withSign && negative) {
        out.prepend(QLatin1Char('-'));
    }
    return prefix + out + suffix;
}

} // namespace

QString formatFloat(const QString& picture, double value) {
    if (picture.isEmpty()) {
        return QString::number(value, 'g', 15);
    }
    const QStringList sections = picture.split(QLatin1Char(';'));
    if (value < 0 && sections.size() > 1 && !sections[1].isEmpty()) {
        return formatSection(sections[1], value, false);
    }
    if (value == 0 && sections.size() > 2 && !sections[2].isEmpty()) {
        return formatSection(sections[2], value, false);
    }
    return formatSection(sections[0], value, true);
}

} // namespace ui
