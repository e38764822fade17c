#include "util/Text.h"

namespace util {

QString upperAscii(const QString& text) {
    QString out = text;
    for (QChar& c : out) {
        if (c >= QLatin1Char('a') && c <= QLatin1Char('z')) {
            c = QChar(c.unicode() - 'a' + 'A');
        }
    }
    return out;
}

QString trimControls(const QString& text) {
    auto blank = [](QChar c) { return c.unicode() <= 0x20 || c.unicode() == 0x7f; };
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && blank(text[begin])) {
        ++begin;
    }
    while (end > begin && blank(text[end - 1])) {
        --end;
    }
    return text.mid(begin, end - begin);
}

} // namespace util
