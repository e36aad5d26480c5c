// Fuzz target: the XML snippet operations on arbitrary buffers; the first byte picks a tag name and an
// attribute name, the rest is the buffer.
#include <cstring>

#include "FuzzEnvironment.h"
#include "qvbase/QvFileXml.h"
#include "qvbase/QvStringVector.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const char* const kTags[] = {"a", "lang", "qvbui_text", "qvvolume", "do_backup", "qvdirfilter", "x y", "t"};
    static const char* const kAttrs[] = {"name", "lang", "x", "qvVolumeGuid", "dir", "a", "whichfiles", "hide_icon"};
    if (size < 1 || size > 1000000)
        return 0;
    const char* tag = kTags[data[0] & 7];
    QvString buffer;
    buffer.Set(reinterpret_cast<const char*>(data + 1), static_cast<int32_t>(size - 1));
    const std::string text = QvFuzz::Text(buffer), withAttributes = "<" + std::string(tag) + " ";
    QvStringVector snippets;
    Check(QvFile::GetAllXmlSnippetsWithTagNameInXml(&buffer, tag, &snippets) == (snippets.GetCount() > 0));
    for (int32_t i = 0; i < snippets.GetCount(); ++i) {
        const std::string snippet = QvFuzz::Text(*snippets.GetAt(i));
        Check(!snippet.empty() && snippet.back() == '>' && text.find(snippet) != std::string::npos);
        Check(snippet.compare(0, withAttributes.size(), withAttributes) == 0 ||
              snippet.compare(0, withAttributes.size(), "<" + std::string(tag) + ">") == 0);
    }
    // Every element end the first pass could ask for.
    QvString pattern(withAttributes.c_str());
    for (int32_t m = buffer.Find(0, &pattern); m >= 0 && m + 1 < buffer.GetLength(); m = buffer.Find(m + 1, &pattern)) {
        int32_t start = m + pattern.GetLength(), end = QvFile::FindXmlElementEnd(&buffer, start, tag);
        Check(end == -1 || (end > start && end <= buffer.GetLength()));
    }
    QvString value("sentinel");
    bool found = QvFile::GetUniqueStrAttrFromXmlSnippet(buffer.GetText(), kAttrs[(data[0] >> 3) & 7], &value);
    Check(found ? value.GetLength() < static_cast<int32_t>(strlen(buffer.GetText())) : value.GetLength() == 0);
    QvString decoded, inPlace(&buffer);
    Check(QvFile::DecodeXmlEntities(&buffer, &decoded) && decoded.GetLength() <= buffer.GetLength());
    Check(text.find('&') != std::string::npos || QvFuzz::Text(decoded) == text);
    Check(QvFile::DecodeXmlEntities(&inPlace, &inPlace) && QvFuzz::Text(inPlace) == QvFuzz::Text(decoded));
    return 0;
}
