#include "qvbase/QvFileXml.h"
// Textual element and attribute access for the client's XML files. Every search runs
// forward over the text up to its first NUL byte, the way QvString searches do; results
// of searches that can only move forward are remembered, so that an input full of
// unterminated or unmatched openings costs no more than a well-formed one.

#include <cstdint>
#include <cstring>
#include <initializer_list>

#include "foundation/QvSimd.h"

#include "qvbase/QvFile.h"
#include "qvbase/QvString.h"
#include "qvbase/QvStringVector.h"

namespace {

// Length of the text as searches see it: up to the first NUL byte (a buffer read from a
// file may hold NUL bytes; nothing after the first one is ever matched).
int32_t SearchableLength(const QvString* text) {
    const char* bytes = text->GetText();
    const void* nul = memchr(bytes, 0, static_cast<size_t>(text->GetLength()));
    return nul ? static_cast<int32_t>(static_cast<const char*>(nul) - bytes) : text->GetLength();
}

int32_t FindByte(const char* text, int32_t length, int32_t from, char c) {
    if (from < 0 || from >= length)
        return -1;
    const void* hit = memchr(text + from, c, static_cast<size_t>(length - from));
    return hit ? static_cast<int32_t>(static_cast<const char*>(hit) - text) : -1;
}

// A search pattern made of up to three pieces (for example "</", the tag name, ">"), so
// that no pattern has to be assembled in memory.
class Pattern {
public:
    Pattern(const char* leadText, const char* nameText, const char* tailText)
        : lead(leadText), name(nameText), tail(tailText),
          leadLength(static_cast<int32_t>(strlen(leadText))),
          nameLength(static_cast<int32_t>(strlen(nameText))),
          tailLength(static_cast<int32_t>(strlen(tailText))) {
        total = leadLength + nameLength + tailLength;
        first = total > 0 ? ByteAt(0) : 0;
        last = total > 0 ? ByteAt(total - 1) : 0;
        // The first and the last (up to) eight bytes as words: a candidate is checked with
        // two word compares, which cover the whole pattern up to 16 bytes.
        wordSize = total >= 8 ? 8 : total >= 4 ? 4 : 0;
        char head[8] = {0};
        char end[8] = {0};
        if (total <= kJoinedMax) {
            char joined[kJoinedMax];
            memcpy(joined, lead, static_cast<size_t>(leadLength));
            memcpy(joined + leadLength, name, static_cast<size_t>(nameLength));
            memcpy(joined + leadLength + nameLength, tail, static_cast<size_t>(tailLength));
            memcpy(head, joined, static_cast<size_t>(wordSize));
            memcpy(end, joined + total - wordSize, static_cast<size_t>(wordSize));
        } else {
            for (int32_t i = 0; i < wordSize; ++i) {
                head[i] = ByteAt(i);
                end[i] = ByteAt(total - wordSize + i);
            }
        }
        headWord = LoadWord(head, wordSize);
        endWord = LoadWord(end, wordSize);
    }

    int32_t GetLength() const { return total; }

    // Index of the first occurrence at or after from, or -1.
    int32_t FindIn(const char* text, int32_t length, int32_t from) const {
        if (total < 1 || from < 0 || from > length - total)
            return -1;
        if (total == 1)
            return FindByte(text, length, from, first);
        const int32_t lastStart = length - total;
        // The first candidate comes from memchr: between the elements a caller walks, the
        // next one is usually a few bytes away, and a pattern that starts with a rare
        // byte ("/>") is skipped to in long strides. When that candidate fails, the filter
        // below takes over, so that runs of the first byte stay cheap.
        const void* firstHit = memchr(text + from, first, static_cast<size_t>(lastStart - from + 1));
        if (!firstHit)
            return -1;
        int32_t i = static_cast<int32_t>(static_cast<const char*>(firstHit) - text);
        if (MatchesAt(text + i))
            return i;
        ++i;
        // Eight candidate positions at a time: a position can match only where the first
        // byte of the pattern and, total - 1 bytes further, its last byte both fit. Runs of
        // one pattern byte ("<<<<", "name=name=") therefore give no candidates at all.
#if QV_USE_SSE2
        // The same filter sixteen positions at a time.
        const __m128i firstVector = _mm_set1_epi8(first);
        const __m128i lastVector = _mm_set1_epi8(last);
        while (i + 15 <= lastStart) {
            const __m128i heads = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + i));
            const __m128i ends = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + i + total - 1));
            unsigned candidates = static_cast<unsigned>(_mm_movemask_epi8(
                _mm_and_si128(_mm_cmpeq_epi8(heads, firstVector), _mm_cmpeq_epi8(ends, lastVector))));
            while (candidates) {
                const int32_t j = i + __builtin_ctz(candidates);
                if (MatchesAt(text + j))
                    return j;
                candidates &= candidates - 1;
            }
            i += 16;
        }
#endif
        const uint64_t firstBytes = Broadcast(first);
        const uint64_t lastBytes = Broadcast(last);
        while (i + 7 <= lastStart) {
            const uint64_t candidates = ZeroBytes(LoadWord(text + i, 8) ^ firstBytes) &
                                        ZeroBytes(LoadWord(text + i + total - 1, 8) ^ lastBytes);
            if (candidates) {
                for (int32_t j = i; j < i + 8; ++j) {
                    if (MatchesAt(text + j))
                        return j;
                }
            }
            i += 8;
        }
        for (; i <= lastStart; ++i) {
            if (MatchesAt(text + i))
                return i;
        }
        return -1;
    }

private:
    // Patterns up to this length are assembled on the stack to take their words.
    static const int32_t kJoinedMax = 64;

    char ByteAt(int32_t index) const {
        if (index < leadLength)
            return lead[index];
        index -= leadLength;
        if (index < nameLength)
            return name[index];
        return tail[index - nameLength];
    }

    // Reads only inside [at, at + total). Inlined at both of its calls: it is most of the
    // work per candidate.
    [[gnu::always_inline]] inline bool MatchesAt(const char* at) const {
        if (at[0] != first || at[total - 1] != last)
            return false;
        if (wordSize == 0)  // two or three bytes
            return total < 3 || at[1] == ByteAt(1);
        if (LoadWord(at, wordSize) != headWord ||
            LoadWord(at + total - wordSize, wordSize) != endWord)
            return false;
        return total <= 2 * wordSize ||
               (memcmp(at, lead, static_cast<size_t>(leadLength)) == 0 &&
                memcmp(at + leadLength, name, static_cast<size_t>(nameLength)) == 0 &&
                memcmp(at + leadLength + nameLength, tail, static_cast<size_t>(tailLength)) == 0);
    }

    static uint64_t Broadcast(char c) {
        return 0x0101010101010101ULL * static_cast<unsigned char>(c);
    }
    // Sets the high bit of every zero byte (and possibly of some bytes above one): a
    // filter that never misses a zero byte.
    static uint64_t ZeroBytes(uint64_t v) {
        return (v - 0x0101010101010101ULL) & ~v & 0x8080808080808080ULL;
    }
    // size is 8, 4 or 0.
    static uint64_t LoadWord(const char* at, int32_t size) {
        if (size == 8) {
            uint64_t v;
            memcpy(&v, at, sizeof v);
            return v;
        }
        if (size == 4) {
            uint32_t v;
            memcpy(&v, at, sizeof v);
            return v;
        }
        return 0;
    }

    const char* lead;
    const char* name;
    const char* tail;
    int32_t leadLength;
    int32_t nameLength;
    int32_t tailLength;
    int32_t total;
    int32_t wordSize;
    uint64_t headWord;
    uint64_t endWord;
    char first;
    char last;
};

// Forward search over one text that remembers its last answer: the first occurrence at
// or after a position is also the first one at or after every later position up to it,
// and "none" stays "none". A scan whose positions only grow thus reads each byte once.
class ForwardSearch {
public:
    ForwardSearch(const char* searchedText, int32_t searchedLength, const Pattern& searchedFor)
        : text(searchedText), length(searchedLength), pattern(searchedFor) {}

    int32_t Next(int32_t from) {
        if (from >= searchedFrom && (foundAt < 0 || foundAt >= from))
            return foundAt;
        searchedFrom = from;
        foundAt = pattern.FindIn(text, length, from);
        return foundAt;
    }

private:
    const char* text;
    int32_t length;
    const Pattern& pattern;
    int32_t searchedFrom = INT32_MAX;  // nothing remembered yet
    int32_t foundAt = -1;
};

// Where the elements of one tag name end, in one text. Every search runs forward and
// remembers its answer, so a walk whose positions only grow reads each byte a bounded
// number of times.
class ElementEnds {
public:
    ElementEnds(const char* searchedText, int32_t searchedLength, const char* tagName)
        : text(searchedText), length(searchedLength), closingTag("</", tagName, ">"), emptyEnd("/>", "", ""),
          lessThan("<", "", ""), closings(text, length, closingTag), emptyEnds(text, length, emptyEnd),
          lessThans(text, length, lessThan) {}

    // The end of an element opened with '<tag ' (attributes follow), given the index just
    // past that opening. The closing tag wins unless a "/>" comes before the next "<": then
    // the element is empty and ends there. Without a closing tag the first "/>" ends it.
    // A "/>" before the next "<" is therefore the answer either way (with a closing tag it
    // comes first; without one it is the first "/>"), so the element's own bytes are looked
    // at first and the rest of the text only when they do not settle it.
    int32_t AfterAttributes(int32_t start) {
        const int32_t nextLessThan = lessThans.Next(start);
        // A "/>" starting before that "<" lies wholly before it ('>' cannot be at a '<').
        const int32_t emptyEndAt = emptyEnd.FindIn(text, nextLessThan >= 0 ? nextLessThan : length, start);
        if (emptyEndAt >= 0)
            return emptyEndAt + 2;
        return AfterContent(start);
    }

    // The end of an element opened with '<tag>', given the index just past that opening:
    // the closing tag, else the first "/>".
    int32_t AfterContent(int32_t start) {
        const int32_t closingAt = closings.Next(start);
        if (closingAt >= 0)
            return closingAt + closingTag.GetLength();
        const int32_t emptyEndAt = emptyEnds.Next(start);
        return emptyEndAt >= 0 ? emptyEndAt + 2 : -1;
    }

private:
    const char* text;
    int32_t length;
    const Pattern closingTag;
    const Pattern emptyEnd;
    const Pattern lessThan;
    ForwardSearch closings;
    ForwardSearch emptyEnds;
    ForwardSearch lessThans;
};

// Fills a vector with the snippets of one walk, in order, reusing the snippets it held
// before: the n-th new snippet is built in the block of the n-th old one when it fits
// there (reading the same text again into the same vector then allocates nothing per
// snippet), else it is a new copy that replaces the old one. Old snippets left over go
// when the walk finishes. A copy that cannot be made is counted as missed.
class SnippetFill {
public:
    SnippetFill(const QvString* source, QvStringVector* target)
        : buffer(source), snippets(target), spares(target->GetCount()) {}

    void Add(int32_t start, int32_t end) {
        ++found;
        if (filled < spares && snippets->GetAt(filled)->ReuseBlockForMid(buffer, start, end - start)) {
            ++filled;
            return;
        }
        QvString* snippet = buffer->NewMid(start, end - start);
        if (!snippet)
            return;
        if (snippet->GetLength() == 0) {
            delete snippet;
            return;
        }
        if (filled < spares) {
            snippets->ReplaceAt(filled++, snippet);
            return;
        }
        if (!snippets->Add(snippet)) {
            // A failed growth lets go of every item, old and new.
            delete snippet;
            spares = 0;
            filled = snippets->GetCount();
            return;
        }
        ++filled;
    }

    // Drops the old snippets no new one took the place of; returns how many elements
    // were found but are not in the vector.
    int32_t Finish() {
        snippets->Truncate(filled);
        return found - snippets->GetCount();
    }

private:
    const QvString* buffer;
    QvStringVector* snippets;
    int32_t spares;      // items of the previous fill, from index `filled` on
    int32_t filled = 0;  // items of this fill, at the front
    int32_t found = 0;
};

// One reference of the decoding table and the character it stands for. The order is the
// table's; no reference is a prefix of another, so at most one matches at a position.
struct XmlReference {
    const char* text;
    int32_t length;
    char replacement;
};

const XmlReference kXmlReferences[] = {
    {"&amp;", 5, '&'},   {"&lt;", 4, '<'},    {"&gt;", 4, '>'},    {"&apos;", 6, '\''},
    {"&quot;", 6, '"'},  {"&#x5C;", 6, '\\'}, {"&#x2F;", 6, '/'},  {"&#39;", 5, '\''},
};

// Decodes the references in place (decoding only shortens the text). Left to right, each
// reference once; the character put in is never looked at again, so '&amp;lt;' gives
// '&lt;'. Bytes after the first NUL are kept but not decoded.
void DecodeInPlace(QvString* text) {
    char* bytes = text->GetBuffer();
    if (!bytes)
        return;
    const int32_t length = text->GetLength();
    const int32_t searchable = SearchableLength(text);
    int32_t read = FindByte(bytes, searchable, 0, '&');
    if (read < 0)
        return;
    int32_t write = read;
    while (read < searchable) {
        const int32_t amp = FindByte(bytes, searchable, read, '&');
        const int32_t runEnd = amp < 0 ? searchable : amp;
        if (runEnd > read && write != read)
            memmove(bytes + write, bytes + read, static_cast<size_t>(runEnd - read));
        write += runEnd - read;
        read = runEnd;
        if (amp < 0)
            break;
        const XmlReference* match = nullptr;
        for (const XmlReference& reference : kXmlReferences) {
            if (reference.length <= searchable - amp &&
                memcmp(bytes + amp, reference.text, static_cast<size_t>(reference.length)) == 0) {
                match = &reference;
                break;
            }
        }
        bytes[write++] = match ? match->replacement : '&';
        read = amp + (match ? match->length : 1);
    }
    if (write == read)
        return;
    // Move what follows the searchable text (an embedded NUL and beyond) down as well.
    memmove(bytes + write, bytes + read, static_cast<size_t>(length - read));
    text->SetLength(length - (read - write));
}

}  // namespace

namespace QvFile {

bool GetAllXmlSnippetsWithTagNameInXmlFile(const char* path, const char* tagName,
                                           QvStringVector* snippets) {
    if (!snippets)
        return false;
    // The vector keeps its old snippets until the walk can reuse their blocks; a file that
    // cannot be read leaves it empty.
    QvString content;
    if (!ReadFileToString(path, &content)) {
        snippets->Clear();
        return false;
    }
    return GetAllXmlSnippetsWithTagNameInXml(&content, tagName, snippets);
}

bool GetAllXmlSnippetsWithTagNameInXml(const QvString* buffer, const char* tagName,
                                       QvStringVector* snippets) {
    return GetAllXmlSnippetsWithTagNameInXml(buffer, tagName, snippets, nullptr);
}

bool GetAllXmlSnippetsWithTagNameInXml(const QvString* buffer, const char* tagName,
                                       QvStringVector* snippets, int32_t* missed) {
    if (missed)
        *missed = 0;
    if (!snippets)
        return false;
    if (!buffer || !tagName || !tagName[0]) {
        snippets->Clear();
        return false;
    }
    // A buffer that is one of the vector's own items would go with them: walk a copy
    // (none to be had: the vector is emptied and nothing is found).
    for (int32_t i = 0; i < snippets->GetCount(); ++i) {
        if (snippets->GetAt(i) == buffer) {
            const QvString copy(buffer);
            if (copy.GetLength() != buffer->GetLength()) {
                snippets->Clear();
                return false;
            }
            return GetAllXmlSnippetsWithTagNameInXml(&copy, tagName, snippets, missed);
        }
    }
    const char* text = buffer->GetText();
    const int32_t length = SearchableLength(buffer);

    ElementEnds ends(text, length, tagName);
    SnippetFill fill(buffer, snippets);

    // Elements with attributes first ('<tag '), then elements without ('<tag>'); the two
    // kinds are not merged by position. Each pass resumes after the snippet it copied, so
    // an element nested in one of the same name is part of it, never a snippet of its own.
    // An element without an end means that no closing tag and no "/>" follow it, so no
    // later element of the pass can end either: the pass stops there.
    const Pattern withAttributes("<", tagName, " ");
    for (int32_t from = 0;;) {
        const int32_t open = withAttributes.FindIn(text, length, from);
        if (open < 0)
            break;
        const int32_t end = ends.AfterAttributes(open + withAttributes.GetLength());
        if (end < 0)
            break;
        fill.Add(open, end);
        from = end;
    }

    const Pattern withoutAttributes("<", tagName, ">");
    for (int32_t from = 0;;) {
        const int32_t open = withoutAttributes.FindIn(text, length, from);
        if (open < 0)
            break;
        const int32_t end = ends.AfterContent(open + withoutAttributes.GetLength());
        if (end < 0)
            break;
        fill.Add(open, end);
        from = end;
    }
    const int32_t notStored = fill.Finish();
    if (missed)
        *missed = notStored;
    return snippets->GetCount() > 0;
}

bool GetUniqueStrAttrFromXmlSnippet(const char* text, const char* attrName, QvString* value) {
    if (!value)
        return false;
    value->SetLength(0);
    if (!text || !attrName)
        return false;
    const int32_t length = static_cast<int32_t>(strlen(text));

    // 'name="' preceded by a blank anywhere beats one preceded by a line feed, which beats
    // one preceded by a tab; the separator makes the match start at a whole name.
    int32_t match = -1;
    for (const char* separator : {" ", "\n", "\t"}) {
        match = Pattern(separator, attrName, "=\"").FindIn(text, length, 0);
        if (match >= 0)
            break;
    }
    if (match < 0)
        return false;
    const int32_t valueStart = match + 1 + static_cast<int32_t>(strlen(attrName)) + 2;
    if (valueStart >= length)
        return false;
    const int32_t valueEnd = FindByte(text, length, valueStart, '"');
    if (valueEnd < 0)
        return false;
    value->Set(text + valueStart, valueEnd - valueStart);
    DecodeInPlace(value);
    return true;
}

bool GetUniqueStrAttrFromXmlFile(const char* path, const char* attrName, QvString* value) {
    QvString content;
    if (!ReadFileToString(path, &content))
        return false;
    return GetUniqueStrAttrFromXmlSnippet(content.GetText(), attrName, value);
}

int32_t FindXmlElementEnd(const QvString* buffer, int32_t start, const char* tagName) {
    if (!buffer || !tagName)
        return -1;
    const char* text = buffer->GetText();
    const int32_t length = SearchableLength(buffer);
    if (start < 0 || start >= length)
        return -1;
    return ElementEnds(text, length, tagName).AfterAttributes(start);
}

bool DecodeXmlEntities(const QvString* source, QvString* out) {
    if (!source || !out)
        return false;
    if (source != out)
        out->Set(source);
    DecodeInPlace(out);
    return true;
}

}  // namespace QvFile
