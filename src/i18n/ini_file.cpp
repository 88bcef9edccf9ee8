#include "i18n/ini_file.h"

#include <QDir>
#include <QFile>
#include <QStringDecoder>

#include <limits>

namespace i18n {

namespace {

const char *encodingName(CodePage codePage)
{
    switch (codePage) {
    case CodePage::Windows1252:
        return "windows-1252";
    case CodePage::Big5:
        // The Windows variant of Big5 (code page 950), a superset of plain Big5.
        return "windows-950";
    case CodePage::ShiftJis:
        // The Windows variant of Shift_JIS (code page 932).
        return "windows-31j";
    case CodePage::Utf8:
        return "UTF-8";
    }
    return "UTF-8";
}

QString stripQuotes(const QString &value)
{
    if (value.size() >= 2) {
        const QChar first = value.front();
        if ((first == QLatin1Char('"') || first == QLatin1Char('\'')) && value.back() == first)
            return value.mid(1, value.size() - 2);
    }
    return value;
}

// Cuts a value to the longest length the readers accept, never between the
// two halves of a surrogate pair.
QString cutToMaximum(const QString &value)
{
    if (value.size() <= IniFile::kMaxValueChars)
        return value;
    qsizetype length = IniFile::kMaxValueChars;
    if (value.at(length - 1).isHighSurrogate())
        --length;
    return value.left(length);
}

// The leading whole number of a text (optional sign, then digits); 0 when
// there is none. Values beyond the int range are held at its limits.
int leadingInteger(const QString &text)
{
    qsizetype i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == QLatin1Char('-') || text[i] == QLatin1Char('+'))) {
        negative = text[i] == QLatin1Char('-');
        ++i;
    }
    long long value = 0;
    for (; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9')
            break;
        value = value * 10 + (c - u'0');
        if (value > std::numeric_limits<int>::max())
            return negative ? std::numeric_limits<int>::min() : std::numeric_limits<int>::max();
    }
    return static_cast<int>(negative ? -value : value);
}

} // namespace

QString decodeText(const QByteArray &bytes, CodePage codePage)
{
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return QString::fromUtf8(bytes.mid(3));
    if (bytes.startsWith("\xFF\xFE")) {
        QStringDecoder utf16(QStringConverter::Utf16LE);
        return utf16(bytes.mid(2));
    }
    if (bytes.startsWith("\xFE\xFF")) {
        QStringDecoder utf16(QStringConverter::Utf16BE);
        return utf16(bytes.mid(2));
    }
    QStringDecoder decoder(encodingName(codePage));
    if (!decoder.isValid())
        return QString::fromLatin1(bytes);
    return decoder(bytes);
}

IniFile IniFile::load(const QString &path, CodePage codePage)
{
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly))
        return {};
    return parse(file.readAll(), codePage);
}

IniFile IniFile::parse(const QByteArray &bytes, CodePage codePage)
{
    IniFile ini;
    const QString text = decodeText(bytes, codePage);

    QHash<QString, QString> *current = nullptr;
    for (QStringView rawLine : QStringTokenizer(text, QLatin1Char('\n'))) {
        const QStringView line = rawLine.trimmed();
        if (line.isEmpty() || line.front() == QLatin1Char(';'))
            continue;
        if (line.front() == QLatin1Char('[')) {
            const qsizetype close = line.indexOf(QLatin1Char(']'));
            const QString name = line.mid(1, close < 0 ? -1 : close - 1).trimmed().toString().toLower();
            // A repeated section is not looked at: the first one counts.
            current = ini.sections_.contains(name) ? nullptr : &ini.sections_[name];
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (!current || equals <= 0)
            continue;
        const QString key = line.left(equals).trimmed().toString().toLower();
        if (key.isEmpty() || current->contains(key))
            continue;
        current->insert(key, stripQuotes(line.mid(equals + 1).trimmed().toString()));
    }
    return ini;
}

const QString *IniFile::find(const QString &section, const QString &key) const
{
    const auto s = sections_.constFind(section.trimmed().toLower());
    if (s == sections_.constEnd())
        return nullptr;
    const auto k = s->constFind(key.trimmed().toLower());
    return k == s->constEnd() ? nullptr : &k.value();
}

QString IniFile::text(const QString &section, const QString &key) const
{
    const QString *value = find(section, key);
    return value ? cutToMaximum(*value) : missingText();
}

int IniFile::integer(const QString &section, const QString &key) const
{
    const QString *value = find(section, key);
    return value ? leadingInteger(*value) : 0;
}

QString findFileInFolder(const QString &folder, const QString &name)
{
    QString wanted = name;
    while (wanted.endsWith(QLatin1Char(' ')))
        wanted.chop(1);
    if (wanted.isEmpty() || folder.isEmpty())
        return {};
    const QDir dir(folder);
    // An exact match first, so that a folder holding both spellings is read
    // the same way every time.
    if (QFileInfo(dir.filePath(wanted)).isFile())
        return dir.filePath(wanted);
    const QStringList entries = dir.entryList(QDir::Files | QDir::Hidden, QDir::Name);
    for (const QString &entry : entries) {
        if (entry.compare(wanted, Qt::CaseInsensitive) == 0)
            return dir.filePath(entry);
    }
    return {};
}

} // namespace i18n
