#include "foundation/settingsfilecheck.h"

#include <QList>
#include <QString>

#include <algorithm>
#include <iterator>

namespace {

// Kinds of values as the settings reader's data stream numbers them; the same in every stream
// version the reader uses for these.
enum StreamedKind : quint32 {
    KindBool = 1,
    KindInt = 2,
    KindUInt = 3,
    KindLongLong = 4,
    KindULongLong = 5,
    KindDouble = 6,
    KindChar = 7,
    KindMap = 8,
    KindList = 9,
    KindString = 10,
    KindStringList = 11,
    KindByteArray = 12,
    KindDate = 14,
    KindTime = 15,
    KindDateTime = 16,
    KindRect = 19,
    KindRectF = 20,
    KindSize = 21,
    KindSizeF = 22,
    KindPoint = 25,
    KindPointF = 26,
    KindHash = 28
};

constexpr int deepestNesting = 8;
constexpr quint32 nullLength = 0xFFFFFFFF;

// Walks one streamed value the way the reader would, without building anything.
class StreamWalker
{
public:
    // Values written as "@DateTime(...)" use a later stream version than "@Variant(...)": it
    // writes a null flag before each value and a date as 64 bits.
    StreamWalker(const QByteArray &bytes, bool laterVersion)
        : m_bytes(bytes)
        , m_laterVersion(laterVersion)
    { }

    bool walkVariant(int depth)
    {
        quint32 kind = 0;
        if (depth > deepestNesting || !readNumber(&kind))
            return false;
        if (m_laterVersion && !skip(1))
            return false;
        switch (kind) {
        case KindBool:
            return skip(1);
        case KindDate:
            return skip(dateSize());
        case KindTime:
            return skip(4);
        case KindDateTime:
            return walkDateTime();
        case KindChar:
            return skip(2);
        case KindInt:
        case KindUInt:
            return skip(4);
        case KindLongLong:
        case KindULongLong:
        case KindDouble:
        case KindSize:
        case KindPoint:
            return skip(8);
        case KindRect:
        case KindSizeF:
        case KindPointF:
            return skip(16);
        case KindRectF:
            return skip(32);
        case KindString:
        case KindByteArray:
            return walkBytes();
        case KindStringList:
            return walkCounted(4, [this] { return walkBytes(); });
        case KindList:
            return walkCounted(4, [this, depth] { return walkVariant(depth + 1); });
        case KindMap:
        case KindHash:
            return walkCounted(8, [this, depth] { return walkBytes() && walkVariant(depth + 1); });
        default:
            return false;
        }
    }

private:
    qsizetype remaining() const { return m_bytes.size() - m_position; }

    bool readNumber(quint32 *number)
    {
        if (remaining() < 4)
            return false;
        const auto byte = [this](int i) { return quint32(quint8(m_bytes.at(m_position + i))); };
        *number = byte(0) << 24 | byte(1) << 16 | byte(2) << 8 | byte(3);
        m_position += 4;
        return true;
    }

    bool skip(qsizetype count)
    {
        if (count > remaining())
            return false;
        m_position += count;
        return true;
    }

    qsizetype dateSize() const { return m_laterVersion ? 8 : 4; }

    // Date, time and time spec. In the later version an offset from UTC carries its seconds,
    // and a time zone its name, which the program never stores; the earlier one has no more.
    bool walkDateTime()
    {
        if (!skip(dateSize() + 4) || remaining() < 1)
            return false;
        const int spec = m_bytes.at(m_position++);
        if (!m_laterVersion)
            return true;
        if (spec == 2)
            return skip(4);
        return spec == 0 || spec == 1;
    }

    bool walkBytes()
    {
        quint32 length = 0;
        if (!readNumber(&length))
            return false;
        return length == nullLength || skip(length);
    }

    // The reader reserves room for the count before it reads a single entry: the count must fit
    // in what follows, each entry taking at least `smallestEntry` bytes.
    template<typename WalkEntry> bool walkCounted(int smallestEntry, WalkEntry walkEntry)
    {
        quint32 count = 0;
        if (!readNumber(&count) || qsizetype(count) > remaining() / smallestEntry)
            return false;
        for (quint32 i = 0; i < count; ++i) {
            if (!walkEntry())
                return false;
        }
        return true;
    }

    const QByteArray &m_bytes;
    const bool m_laterVersion;
    qsizetype m_position = 0;
};

bool isHexDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

int hexValue(char c)
{
    return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10;
}

struct Element
{
    QString text;
    bool hasRawNonAscii = false; // decoded as UTF-8 by the reader: no byte the writer streams
};

// The elements of one line as the reader unescapes them: quotes group, commas outside quotes
// separate, a semicolon outside quotes ends the line, backslash escapes as the writer makes them
// (named characters, "\x" with any number of hexadecimal digits, octal digits). False when the
// line ends inside quotes or with a backslash: the reader would go on reading the next line as
// part of it, which the writer never makes. The elements are complete either way.
bool unescapeElements(const QByteArray &line, QList<Element> *elements)
{
    static const char named[][2]
        = {{'a', '\a'}, {'b', '\b'}, {'f', '\f'}, {'n', '\n'},  {'r', '\r'}, {'t', '\t'},
           {'v', '\v'}, {'"', '"'},  {'?', '?'},  {'\'', '\''}, {'\\', '\\'}};
    Element element;
    bool inQuotes = false;
    bool continued = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const char c = line.at(i);
        if (c == '"') {
            inQuotes = !inQuotes;
        } else if (c == ',' && !inQuotes) {
            element.text = element.text.trimmed();
            elements->append(element);
            element = Element();
        } else if (c == ';' && !inQuotes) {
            break;
        } else if (quint8(c) >= 0x80) {
            element.hasRawNonAscii = true;
            element.text += QChar(0xFFFD);
        } else if (c != '\\') {
            element.text += QLatin1Char(c);
        } else {
            if (++i >= line.size()) {
                continued = true;
                break;
            }
            const char code = line.at(i);
            const auto name = std::find_if(std::begin(named), std::end(named),
                                           [code](const char *pair) { return pair[0] == code; });
            // The reader's escape value is 16 bits wide: longer digit runs wrap around.
            char16_t escaped = 0;
            if (name != std::end(named)) {
                element.text += QLatin1Char((*name)[1]);
            } else if (code == 'x' && i + 1 < line.size() && isHexDigit(line.at(i + 1))) {
                while (i + 1 < line.size() && isHexDigit(line.at(i + 1)))
                    escaped = char16_t(escaped << 4 | hexValue(line.at(++i)));
                element.text += QChar(escaped);
            } else if (code >= '0' && code <= '7') {
                escaped = char16_t(code - '0');
                while (i + 1 < line.size() && line.at(i + 1) >= '0' && line.at(i + 1) <= '7')
                    escaped = char16_t(escaped << 3 | (line.at(++i) - '0'));
                element.text += QChar(escaped);
            }
            // Any other escaped character is dropped, as the reader drops it.
        }
    }
    element.text = element.text.trimmed();
    elements->append(element);
    return !inQuotes && !continued;
}

bool isSafeElement(const Element &element)
{
    const QString &text = element.text;
    bool laterVersion = false;
    qsizetype start = 0;
    if (text.startsWith(QLatin1String("@Variant("))) {
        start = 9;
    } else if (text.startsWith(QLatin1String("@DateTime("))) {
        start = 10;
        laterVersion = true;
    } else {
        return true;
    }
    if (!text.endsWith(QLatin1Char(')')))
        return true; // left as text by the reader
    if (element.hasRawNonAscii)
        return false;
    QByteArray bytes;
    bytes.reserve(text.size() - start - 1);
    for (qsizetype i = start; i < text.size() - 1; ++i) {
        const char16_t c = text.at(i).unicode();
        bytes += c > 0xFF ? '?' : char(c);
    }
    return StreamWalker(bytes, laterVersion).walkVariant(0);
}

} // namespace

namespace SettingsFileCheck {

bool isSafe(const QByteArray &iniFile)
{
    // The reader ends a line at either line-end character.
    QByteArray text = iniFile;
    text.replace('\r', '\n');
    const QList<QByteArray> lines = text.split('\n');
    for (const QByteArray &rawLine : lines) {
        const QByteArray line = rawLine.trimmed();
        if (line.isEmpty() || line.startsWith(';'))
            continue;
        QList<Element> elements;
        if (!unescapeElements(line, &elements))
            return false;
        // Only a value, after its key's "=", is ever decoded; a section line never is.
        const qsizetype equals = line.indexOf('=');
        if (line.startsWith('[') || equals < 0)
            continue;
        elements.clear();
        unescapeElements(line.mid(equals + 1), &elements);
        for (const Element &element : std::as_const(elements)) {
            if (!isSafeElement(element))
                return false;
        }
    }
    return true;
}

} // namespace SettingsFileCheck
