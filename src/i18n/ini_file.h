#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>

namespace i18n {

// The code page a language or title file is stored in. A file that starts
// with a UTF-8 or UTF-16 byte-order mark is read as Unicode whatever is given.
enum class CodePage { Windows1252, Big5, ShiftJis, Utf8 };

// A read-only INI file: "[section]" lines and "key=value" lines. Section and
// key names are compared case-insensitively; the first occurrence of a
// section or of a key within it counts. Blanks around names and values are
// ignored, and a value enclosed in matching quotes loses them. Lines starting
// with ';' are comments.
//
// Lookups follow the rules of the language files: a value is cut to 99
// characters, a missing file or key gives the text "0", and an integer key
// that is missing or not a number gives 0.
class IniFile {
public:
    static constexpr int kMaxValueChars = 99;

    IniFile() = default;

    // Reads and decodes a whole file. A file that cannot be read gives an
    // empty IniFile, whose every lookup yields the defaults.
    static IniFile load(const QString &path, CodePage codePage);
    static IniFile parse(const QByteArray &bytes, CodePage codePage);

    bool isEmpty() const { return sections_.isEmpty(); }

    QString text(const QString &section, const QString &key) const;
    int integer(const QString &section, const QString &key) const;

    // The text the lookups give for a missing file or key.
    static QString missingText() { return QStringLiteral("0"); }

private:
    const QString *find(const QString &section, const QString &key) const;

    QHash<QString, QHash<QString, QString>> sections_;
};

// Decodes file bytes: a byte-order mark wins over the code page given.
QString decodeText(const QByteArray &bytes, CodePage codePage);

// The path of the file called name in folder, compared case-insensitively
// and ignoring trailing blanks of name; empty when there is none.
QString findFileInFolder(const QString &folder, const QString &name);

} // namespace i18n
