// Inputs of the benchmarks.
#include "QvBenchData.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace QvBenchData {

std::string MixedText(size_t bytes) {
    static const char* const kPieces[] = {
        "The backup of the folder finished without errors at 10:42. ",
        "Größe der Sicherung: 4,2 GB, Dateien übersprungen: 3. ",
        "Sauvegarde terminée à l'heure prévue ; élément « Bureau » inclus. ",
        "バックアップは正常に完了しました。設定ファイルを確認してください。",
        "备份已完成，共有十二个文件夹被监视。",
        "백업이 완료되었습니다. ",
        "Ready \xF0\x9F\x98\x80 done. ",
        "Çà et là, ñandú, Ærøskøbing, Łódź. ",
    };
    std::string text;
    for (size_t i = 0; text.size() < bytes; ++i)
        text += kPieces[i % (sizeof kPieces / sizeof kPieces[0])];
    return text;
}

std::string AsciiText(size_t bytes) {
    static const char kLine[] =
        "2024-03-15 10:00:00       4242 - QvInfoManager.cpp:120 [Read]:\tfolder C:\\Users\\demo\\ ok\n";
    std::string text;
    while (text.size() < bytes)
        text += kLine;
    text.resize(bytes);
    return text;
}

std::vector<std::string> ShortPaths(size_t count) {
    std::vector<std::string> paths;
    paths.reserve(count);
    char line[160];
    for (size_t i = 0; i < count; ++i) {
        if (i % 4 == 3)
            snprintf(line, sizeof line, "C:\\Users\\demo\\Documents\\Größe\\日本語\\Projekt %05zu\\report.docx", i);
        else
            snprintf(line, sizeof line, "C:\\Users\\demo\\Documents\\Projects\\Quarterly\\Folder %05zu\\report.docx", i);
        paths.push_back(line);
    }
    return paths;
}

namespace {

std::string SettingsHead() {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<qvinfo version=\"3\"\n"
           "    qvlogin=\"demo.user@example.com\"\n"
           "    online_hostname=\"none\"\n"
           "    online_hostname_updated=\"2026-11-30 08:12:44\"\n"
           "    qvui_locale=\"fr_FR\"\n"
           "    numdays_warn_if_no_backup=\"3\"\n"
           "    backup_schedule_type=\"continuously\"\n"
           "    max_filesize_mb=\"0\"\n"
           "    net_throttle=\"0\"\n"
           "    num_backup_threads=\"4\"\n"
           "    scratch_mountpoint=\"C:\\\"\n"
           "    scratch_vol_guid=\"v6f3a1c9e2b7d4058a1e3c5b7d90\"\n"
           "    excludefiletypes=\".tmp,.temp,.part,.crdownload,.lock,.swp,.iso\"\n"
           "    smartwatchfilesets=\"Documents,Spreadsheets,Photos,Music\">\n"
           "  <filesetdef filesetname=\"Documents\" extensions=\"doc,docx,odt,rtf,txt,pdf,md\" />\n"
           "  <filesetdef filesetname=\"Spreadsheets\" extensions=\"xls,xlsx,ods,csv\" />\n"
           "  <filesetdef filesetname=\"Presentations\" extensions=\"ppt,pptx,odp,key\" />\n"
           "  <filesetdef filesetname=\"Photos\" extensions=\"jpg,jpeg,png,gif,heic,tif,tiff,raw\" />\n"
           "  <filesetdef filesetname=\"Music\" extensions=\"mp3,m4a,flac,ogg,wav\" />\n"
           "  <filesetdef filesetname=\"Movies\" extensions=\"mp4,mov,avi,mkv\" />\n"
           "  <qvblocked_network blocked_network_mac_addr=\"a4:2b:b0:11:3c:9e\" "
           "blocked_network_name=\"Airport Lounge\" />\n"
           "  <qvvolume qvVolumeGuid=\"v6f3a1c9e2b7d4058a1e3c5b7d90\" mountPointPath=\"C:\\\" />\n"
           "  <qvvolume qvVolumeGuid=\"v0b9e8d7c6a5f4e3d2c1b0a9f8e7\" mountPointPath=\"D:\\\" />\n"
           "  <do_backup>\n";
}

const char kTail[] = "  </do_backup>\n</qvinfo>\n";

std::string DirFilter(int i) {
    static const char* const kWhichFiles[] = {"Documents", "all", "none", "Documents,Music",
                                              "smartwatchfilesets", "Photos"};
    char line[200];
    snprintf(line, sizeof line,
             "    <qvdirfilter dir=\"C:\\Users\\demo\\Documents\\Folder%05d\\\" whichfiles=\"%s\" />\n", i,
             kWhichFiles[i % 6]);
    return line;
}

}  // namespace

std::string SettingsOfSize(size_t bytes) {
    std::string text = SettingsHead();
    for (int i = 0; text.size() + sizeof kTail - 1 < bytes; ++i)
        text += DirFilter(i);
    return text + kTail;
}

std::string SettingsWithFolders(int folders) {
    std::string text = SettingsHead();
    for (int i = 0; i < folders; ++i)
        text += DirFilter(i);
    return text + kTail;
}

std::string RunOfLessThan(size_t bytes) { return std::string(bytes, '<'); }

std::string RepeatedNameEquals(size_t bytes) {
    std::string text;
    while (text.size() < bytes)
        text += "name=\"";
    text.resize(bytes);
    return text;
}

std::string UnclosedOpenings(size_t bytes) {
    std::string text;
    while (text.size() < bytes)
        text += "<qvdirfilter ";
    text.resize(bytes);
    return text;
}

namespace {
std::string scratch;
void RemoveScratch() {
    if (!scratch.empty())
        std::system(("rm -rf '" + scratch + "'").c_str());
}
}  // namespace

const std::string& ScratchDir() {
    if (scratch.empty()) {
        const char* base = getenv("TMPDIR");
        std::string pattern = std::string(base && base[0] ? base : "/tmp") + "/qvbench.XXXXXX";
        if (mkdtemp(&pattern[0]) == nullptr)
            abort();
        scratch = pattern;
        atexit(RemoveScratch);
    }
    return scratch;
}

const std::string& ClientInstallation() {
    static std::string root;
    if (root.empty()) {
        const std::string made = ScratchDir() + "/client";
        for (const char* folder : {"", "/registry", "/registry/HKEY_LOCAL_MACHINE",
                                   "/registry/HKEY_LOCAL_MACHINE/Software",
                                   "/registry/HKEY_LOCAL_MACHINE/Software/Velbrook", "/install", "/data",
                                   "/data/qvreports", "/data/logs", "/tmp"})
            mkdir((made + folder).c_str(), 0755);
        WriteFile(made + "/registry/HKEY_LOCAL_MACHINE/Software/Velbrook/installdir", made + "/install");
        WriteFile(made + "/install/qvinstall.xml", "<qvinstall datadir=\"" + made + "/data\" />\n");
        setenv("QV_REGISTRY_ROOT", (made + "/registry").c_str(), 1);
        setenv("QV_PROGRAM_FILES", made.c_str(), 1);
        setenv("QV_COMMON_APPDATA", made.c_str(), 1);
        setenv("TMPDIR", (made + "/tmp").c_str(), 1);
        root = made;
    }
    return root;
}

bool WriteFile(const std::string& path, const std::string& content) {
    FILE* file = fopen(path.c_str(), "wb");
    if (!file)
        return false;
    bool ok = fwrite(content.data(), 1, content.size(), file) == content.size();
    return fclose(file) == 0 && ok;
}

}  // namespace QvBenchData
