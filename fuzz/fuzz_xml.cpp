// Fuzz target: the XML snippet operations on arbitrary buffers. The first byte picks a
// tag name and an attribute name; the rest is the buffer. Checked on every input:
// - every snippet is a substring of the buffer, starts with '<tag ' or '<tag>' and ends
//   with '>', and the result is true exactly when snippets were found;
// - an element end is -1 or lies past the opening pattern and within the buffer;
// - decoding character references never makes the text longer, leaves text without '&'
//   unchanged, and gives the same result in place as into another string;
// - an attribute value found is never longer than the text it came from.
#include <cstring>

#include "FuzzEnvironment.h"
#include "qvbase/QvFileXml.h"
#include "qvbase/QvStringVector.h"

namespace {

bool Same(const QvString& a, const QvString& b) {
    return a.GetLength() == b.GetLength() && memcmp(a.GetText(), b.GetText(), a.GetLength()) == 0;
}

bool StartsWith(const QvString& text, const QvString& prefix) {
    return text.GetLength() >= prefix.GetLength() && memcmp(text.GetText(), prefix.GetText(), prefix.GetLength()) == 0;
}

void CheckSnippets(const QvString& buffer, const char* tag) {
    QvStringVector snippets;
    bool found = QvFile::GetAllXmlSnippetsWithTagNameInXml(&buffer, tag, &snippets);
    Check(found == (snippets.GetCount() > 0));
    QvString withAttributes, withoutAttributes;
    withAttributes.Format("<%s ", tag);
    withoutAttributes.Format("<%s>", tag);
    for (int32_t i = 0; i < snippets.GetCount(); ++i) {
        const QvString& snippet = *snippets.GetAt(i);
        Check(snippet.GetLength() > 0 && snippet.GetText()[snippet.GetLength() - 1] == '>');
        Check(StartsWith(snippet, withAttributes) || StartsWith(snippet, withoutAttributes));
        Check(snippet.GetLength() <= buffer.GetLength() &&
              memmem(buffer.GetText(), buffer.GetLength(), snippet.GetText(), snippet.GetLength()) != nullptr);
    }
    // Every element end the first pass could ask for.
    for (int32_t m = buffer.Find(0, &withAttributes); m >= 0 && m + 1 < buffer.GetLength();
         m = buffer.Find(m + 1, &withAttributes)) {
        int32_t start = m + withAttributes.GetLength();
        int32_t end = QvFile::FindXmlElementEnd(&buffer, start, tag);
        Check(end == -1 || (end > start && end <= buffer.GetLength()));
    }
}

void CheckDecoding(const QvString& text) {
    QvString decoded;
    Check(QvFile::DecodeXmlEntities(&text, &decoded));
    Check(decoded.GetLength() <= text.GetLength());
    if (!memchr(text.GetText(), '&', text.GetLength()))
        Check(Same(decoded, text));
    QvString inPlace(&text);
    Check(QvFile::DecodeXmlEntities(&inPlace, &inPlace) && Same(inPlace, decoded));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const char* const kTags[] = {"a", "lang", "qvbui_text", "qvvolume", "do_backup", "qvdirfilter", "x y", "t"};
    static const char* const kAttrs[] = {"name", "lang", "x", "qvVolumeGuid", "dir", "a", "whichfiles", "hide_icon"};
    if (size < 1 || size > 1000000)
        return 0;
    QvString buffer;
    buffer.Set(reinterpret_cast<const char*>(data + 1), static_cast<int32_t>(size - 1));
    CheckSnippets(buffer, kTags[data[0] & 7]);
    QvString value("sentinel");
    bool found = QvFile::GetUniqueStrAttrFromXmlSnippet(buffer.GetText(), kAttrs[(data[0] >> 3) & 7], &value);
    Check(found ? value.GetLength() < static_cast<int32_t>(strlen(buffer.GetText())) : value.GetLength() == 0);
    CheckDecoding(buffer);
    return 0;
}
