#pragma once
// XML snippet access: the client's XML files are never parsed into a tree. Readers take
// elements ("snippets") and attribute values straight out of the file's text; matching is
// purely textual and the first textual match wins. None of these functions logs.

#include <cstdint>

class QvString;
class QvStringVector;

namespace QvFile {

// Clears the vector, reads the file whole and collects every element of the tag as
// GetAllXmlSnippetsWithTagNameInXml does. False when the vector is null, the file cannot
// be read or no element was found.
bool GetAllXmlSnippetsWithTagNameInXmlFile(const char* path, const char* tagName,
                                           QvStringVector* snippets);

// Clears the vector, then appends a copy of every element of the tag: first all elements
// opened as '<tag ' (with attributes), in document order, then all elements opened as
// '<tag>', in document order. True when at least one snippet was added; false when no
// element was found or the vector, the buffer or the tag name is null (or the tag empty).
bool GetAllXmlSnippetsWithTagNameInXml(const QvString* buffer, const char* tagName,
                                       QvStringVector* snippets);
// The same, and *missed tells how many of the elements found could not be kept because
// memory ran out (0 when the vector holds them all), so that a reader can say that it
// did not see the whole file. missed may be null.
bool GetAllXmlSnippetsWithTagNameInXml(const QvString* buffer, const char* tagName,
                                       QvStringVector* snippets, int32_t* missed);

// Empties the out string, then stores the decoded value of the first occurrence of
// 'name="' preceded by a blank (else by a line feed, else by a tab) anywhere in the text.
// True when found (also for an empty value); false when absent, when the closing quote is
// missing, or when the text, the name or the out string is null.
bool GetUniqueStrAttrFromXmlSnippet(const char* text, const char* attrName, QvString* value);

// Reads the file whole and looks the attribute up in its content as
// GetUniqueStrAttrFromXmlSnippet does. When the file cannot be read the out string is
// left as it was and the result is false.
bool GetUniqueStrAttrFromXmlFile(const char* path, const char* attrName, QvString* value);

// End of the element whose opening '<tag ' ends just before start: one past its closing
// '</tag>', or one past its '/>' when that comes before any '<' (an empty element), or
// one past the first '/>' when no closing tag follows. -1 when none of them follows.
int32_t FindXmlElementEnd(const QvString* buffer, int32_t start, const char* tagName);

// Copies source into out and replaces, once and left to right, the references &amp;
// &lt; &gt; &apos; &quot; &#x5C; &#x2F; &#39; by their characters; decoded text is never
// examined again ('&amp;lt;' gives '&lt;'). Other references stay as they are. False only
// when either pointer is null; source and out may be the same string.
bool DecodeXmlEntities(const QvString* source, QvString* out);

}  // namespace QvFile
