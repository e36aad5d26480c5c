// File sets of the settings file: each "filesetdef" element names a set of file
// extensions that watched folders refer to by the set's name.
#include "qvbase/QvInfoManager.h"

#include "config/QvInfoManagerInternal.h"
#include "qvbase/QvFile.h"
#include "qvbase/QvFileXml.h"
#include "qvbase/QvString.h"
#include "qvbase/QvStringVector.h"

using QvInfoManagerInternal::HasBuffer;
using QvInfoManagerInternal::LogParts;

namespace {
const char* const kFileSetErrorPrefix = "ERROR: GetAllFileSetDefsFromQvInfoFile, ";
// Memory running out while the sets are read: a set that could not be kept whole is named.
const char* const kOutOfMemoryPrefix = "ERROR: GetAllFileSetDefsFromQvInfoFile, out of memory, ";

// Appends a copy of text; false when it could not be made or kept.
bool AddCopy(QvStringVector& vector, const QvString* text) {
    QvString* copy = new QvString(text);
    if (copy != nullptr && HasBuffer(copy) && vector.Add(copy))
        return true;
    delete copy;
    return false;
}
}  // namespace

namespace QvInfoManagerInternal {

void ReadFileSetDefs(const QvString* text, const QvString* path, QvStringVector* fileSets, int32_t* count) {
    if (count == nullptr)
        return;
    *count = 0;
    if (fileSets == nullptr)
        return;
    QvStringVector snippets;
    if (!QvInfoManagerInternal::GetElements(text, "filesetdef", kOutOfMemoryPrefix, &snippets)) {
        LogParts(kFileSetErrorPrefix, "QvFile::GetAllXmlSnippetsWithTagNameInXmlFile NO filesetdefs in ",
                 "qvinfoFile: ", path != nullptr ? path->GetText() : "");
        return;
    }
    int32_t snippetCount = snippets.GetCount();
    if (snippetCount > QV_INFO_MAX_NUM_FILESETS) {
        LogParts(kFileSetErrorPrefix, "too many filesetdef definitions, 150 is the max, clipping to 150!");
        snippetCount = QV_INFO_MAX_NUM_FILESETS;
    }

    QvString name;
    QvString extensions;
    QvStringVector fields;
    for (int32_t i = 0; i < snippetCount; i++) {
        const char* snippet = snippets.GetAt(i)->GetText();
        if (!QvFile::GetUniqueStrAttrFromXmlSnippet(snippet, "filesetname", &name)) {
            LogParts(kFileSetErrorPrefix, "QvFile::GetUniqueStrAttrFromXmlSnippet NO filesetdefs name ",
                     "in this filesetdef snippet: ", snippet);
            continue;
        }
        if (!QvFile::GetUniqueStrAttrFromXmlSnippet(snippet, "extensions", &extensions))
            extensions.Set("");
        extensions.MakeLower();
        // The set's name goes first, its extensions after it. A set is kept whole or not
        // at all: one without its name or some of its extensions would be taken wrongly.
        QvStringVector& fileSet = fileSets[*count];
        fileSet.Clear();
        bool whole = HasBuffer(&name) && HasBuffer(&extensions) && SplitSettingList(&extensions, false, &fields) &&
                     fileSet.EnsureCapacity(fields.GetCount() + 1) && AddCopy(fileSet, &name);
        for (int32_t k = 0; whole && k < fields.GetCount(); k++)
            whole = AddCopy(fileSet, fields.GetAt(k));
        if (!whole) {
            fileSet.Clear();
            LogParts(kOutOfMemoryPrefix, "skipping this filesetdef snippet: ", snippet);
            continue;
        }
        (*count)++;
    }
}

}  // namespace QvInfoManagerInternal

void GetAllFileSetDefsFromQvInfoFile(const QvString* path, QvStringVector* fileSets, int32_t* count) {
    QvString text;
    bool read = path != nullptr && QvFile::ReadFileToString(path->GetText(), &text);
    QvInfoManagerInternal::ReadFileSetDefs(read ? &text : nullptr, path, fileSets, count);
}
