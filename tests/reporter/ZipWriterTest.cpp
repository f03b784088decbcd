#include "reporter/LoadFileBytes.h"
#include "reporter/ZipWriter.h"
#include "tests/support/LinuxProgram.h"
#include "tests/support/TempFolder.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace
{
    // One entry as the independent reader (tests/tools/check_zip.py) saw it.
    struct SEntry
    {
        std::string name;
        int method;
        unsigned long dosTime;
        unsigned long dosDate;
        unsigned long externalAttributes;
        unsigned long internalAttributes;
        unsigned long localExtra;
        unsigned long centralExtra;
        unsigned long commentLength;
        std::string contents;
    };

    struct SArchive
    {
        bool described;
        int unzipStatus;
        std::string unzipOutput;
        std::string open;
        std::string testzip;
        int commentLength;
        std::vector<SEntry> entries;

        std::set<std::string> Names() const
        {
            std::set<std::string> names;
            for (size_t i = 0; i < entries.size(); ++i)
                names.insert(entries[i].name);
            return names;
        }
        const SEntry* Find(const std::string& name) const
        {
            for (size_t i = 0; i < entries.size(); ++i)
            {
                if (entries[i].name == name)
                    return &entries[i];
            }
            return 0;
        }
    };

    std::vector<std::string> Split(const std::string& line)
    {
        std::vector<std::string> fields;
        size_t start = 0;
        for (;;)
        {
            size_t tab = line.find('\t', start);
            fields.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
            if (tab == std::string::npos)
                return fields;
            start = tab + 1;
        }
    }

    // The checking script lies beside this file's folder in the source tree,
    // which the Linux side reaches by the path the compiler was given.
    std::string CheckScript()
    {
        std::string source = __FILE__;
        size_t slash = source.rfind('/');
        slash = slash == std::string::npos ? slash : source.rfind('/', slash - 1);
        if (source[0] != '/' || slash == std::string::npos)
            return std::string();
        return source.substr(0, slash) + "/tools/check_zip.py";
    }

    // Has the archive read on the Linux side by Python's zipfile and by unzip.
    SArchive Inspect(const std::string& archive)
    {
        SArchive result = {false, -1, "", "", "", -1, std::vector<SEntry>()};
        std::string report = archive + ".check";
        std::string script = CheckScript();
        std::string unixArchive = UnixPath(archive);
        std::string unixReport = UnixPath(report);
        if (script.empty() || unixArchive.empty() || unixReport.empty())
        {
            ADD_FAILURE() << "no Linux side to check " << archive << " with";
            return result;
        }
        DeleteFileA(report.c_str());
        if (!StartLinuxProgram("/usr/bin/python3", "\"" + script + "\" \"" + unixArchive + "\" \"" + unixReport + "\"")
            || !WaitForPath(report, 60000))
        {
            ADD_FAILURE() << "the archive checker did not run";
            return result;
        }

        std::istringstream lines(ReadTextFile(report));
        DeleteFileA(report.c_str());
        std::string line;
        while (std::getline(lines, line))
        {
            std::vector<std::string> fields = Split(line);
            const std::string& kind = fields[0];
            if (kind == "end")
                result.described = true;
            else if (kind == "unzip-rc")
                result.unzipStatus = atoi(fields[1].c_str());
            else if (kind == "unzip")
                result.unzipOutput += fields[1] + "\n";
            else if (kind == "open")
                result.open = fields[1];
            else if (kind == "testzip")
                result.testzip = fields[1];
            else if (kind == "comment")
                result.commentLength = atoi(fields[1].c_str());
            else if (kind == "entry" && fields.size() == 12)
            {
                SEntry entry;
                entry.name = fields[1];
                entry.method = atoi(fields[2].c_str());
                entry.dosTime = strtoul(fields[3].c_str(), 0, 10);
                entry.dosDate = strtoul(fields[4].c_str(), 0, 10);
                entry.externalAttributes = strtoul(fields[5].c_str(), 0, 10);
                entry.internalAttributes = strtoul(fields[6].c_str(), 0, 10);
                entry.localExtra = strtoul(fields[7].c_str(), 0, 10);
                entry.centralExtra = strtoul(fields[8].c_str(), 0, 10);
                entry.commentLength = strtoul(fields[9].c_str(), 0, 10);
                entry.contents = fields[11];
                result.entries.push_back(entry);
            }
            else
                ADD_FAILURE() << "unexpected checker line: " << line;
        }
        EXPECT_TRUE(result.described) << "incomplete checker report";
        return result;
    }

    std::string Hex(const std::string& bytes)
    {
        static const char digits[] = "0123456789abcdef";
        std::string hex;
        for (size_t i = 0; i < bytes.size(); ++i)
        {
            hex += digits[static_cast<unsigned char>(bytes[i]) >> 4];
            hex += digits[static_cast<unsigned char>(bytes[i]) & 15];
        }
        return hex;
    }

    // The entry name of a file: its path without the drive.
    std::string EntryName(const std::string& path)
    {
        return path.substr(2);
    }

    // Bytes that do not compress, several blocks of packing long.
    std::string Incompressible(size_t size)
    {
        std::string bytes(size, 0);
        unsigned long state = 12345;
        for (size_t i = 0; i < size; ++i)
        {
            state = state * 1103515245 + 12345;
            bytes[i] = static_cast<char>(state >> 16);
        }
        return bytes;
    }

    // The files of a folder in the platform's enumeration order.
    std::vector<std::string> FilesInWalkOrder(const std::string& folder)
    {
        std::vector<std::string> names;
        WIN32_FIND_DATAA data;
        HANDLE find = FindFirstFileA((folder + "\\*.*").c_str(), &data);
        if (find == INVALID_HANDLE_VALUE)
            return names;
        do
        {
            if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                names.push_back(data.cFileName);
        } while (FindNextFileA(find, &data));
        FindClose(find);
        return names;
    }

    bool Pack(const std::string& folder, const std::string& archive, const volatile bool* cancel = 0)
    {
        CZipWriter writer(cancel);
        EXPECT_TRUE(writer.Open(archive.c_str(), false));
        bool added = writer.AddFolder(folder.c_str(), 9, true);
        EXPECT_TRUE(writer.Close());
        return added;
    }
}

TEST(ZipWriter, PacksTheCrashFolderTreeAsAReaderExpects)
{
    CTempFolder temp;
    std::string crash = temp / "crash.1";
    MakeFolder(crash);
    MakeFolder(crash + "\\logs");
    MakeFolder(crash + "\\empty");
    std::string info = "<crash><key>k</key></crash>\r\n";
    std::string log = std::string(20000, 'L') + "end of log";
    std::string dump = Incompressible(3 * 16384 + 100);
    WriteTextFile(crash + "\\crashinfo.dat", info);
    WriteTextFile(crash + "\\logs\\a.log", log);
    WriteTextFile(crash + "\\dump.dmp", dump);
    WriteTextFile(crash + "\\logs\\nothing.txt", "");
    std::string archive = crash + ".zip";

    EXPECT_TRUE(Pack(crash, archive));

    SArchive zip = Inspect(archive);
    EXPECT_EQ(0, zip.unzipStatus) << zip.unzipOutput;
    EXPECT_NE(std::string::npos, zip.unzipOutput.find("No errors detected")) << zip.unzipOutput;
    EXPECT_EQ("ok", zip.open);
    EXPECT_EQ("ok", zip.testzip);
    EXPECT_EQ(0, zip.commentLength);

    std::string prefix = EntryName(crash);
    ASSERT_EQ('\\', prefix[0]);
    std::set<std::string> expected = {prefix + "\\crashinfo.dat", prefix + "\\logs\\a.log", prefix + "\\dump.dmp",
        prefix + "\\logs\\nothing.txt"};
    EXPECT_EQ(expected, zip.Names());
    ASSERT_EQ(4u, zip.entries.size());

    EXPECT_EQ(Hex(info), zip.Find(prefix + "\\crashinfo.dat")->contents);
    EXPECT_EQ(Hex(log), zip.Find(prefix + "\\logs\\a.log")->contents);
    EXPECT_EQ(Hex(dump), zip.Find(prefix + "\\dump.dmp")->contents);
    EXPECT_EQ("", zip.Find(prefix + "\\logs\\nothing.txt")->contents);
    EXPECT_EQ(0u, zip.Find(prefix + "\\dump.dmp")->internalAttributes);
    for (size_t i = 0; i < zip.entries.size(); ++i)
    {
        const SEntry& entry = zip.entries[i];
        SCOPED_TRACE(entry.name);
        EXPECT_EQ(8, entry.method);
        // All-zero file information: no time, and the date that a zero date
        // structure gives (month field 1, everything else 0).
        EXPECT_EQ(0u, entry.dosTime);
        EXPECT_EQ(0x20u, entry.dosDate);
        EXPECT_EQ(0u, entry.externalAttributes);
        // Only the text marker that the library sets from zlib's guess at the data.
        EXPECT_EQ(0u, entry.internalAttributes & ~1u);
        EXPECT_EQ(0u, entry.localExtra);
        EXPECT_EQ(0u, entry.centralExtra);
        EXPECT_EQ(0u, entry.commentLength);
    }
}

TEST(ZipWriter, EmptyFolderGivesAValidEmptyArchive)
{
    CTempFolder temp;
    std::string crash = temp / "crash.2";
    MakeFolder(crash);
    MakeFolder(crash + "\\sub");
    std::string archive = crash + ".zip";
    // Create mode replaces whatever is at the path.
    WriteTextFile(archive, "not an archive");

    EXPECT_TRUE(Pack(crash, archive));

    SArchive zip = Inspect(archive);
    EXPECT_EQ("ok", zip.open);
    EXPECT_TRUE(zip.entries.empty());
    EXPECT_NE(std::string::npos, zip.unzipOutput.find("zipfile is empty")) << zip.unzipOutput;
    EXPECT_EQ(22u, ReadTextFile(archive).size());
}

TEST(ZipWriter, WildcardPatternAddsOnlyWhatMatches)
{
    CTempFolder temp;
    std::string folder = temp / "x";
    MakeFolder(folder);
    WriteTextFile(folder + "\\a.dmp", "a");
    WriteTextFile(folder + "\\b.txt", "b");
    MakeFolder(folder + "\\more.dmp");
    WriteTextFile(folder + "\\more.dmp\\inner.txt", "inner");
    MakeFolder(folder + "\\other");
    WriteTextFile(folder + "\\other\\c.dmp", "c");
    std::string archive = temp / "x.zip";

    EXPECT_TRUE(Pack(folder + "\\*.dmp", archive));

    SArchive zip = Inspect(archive);
    std::string prefix = EntryName(folder);
    std::set<std::string> expected = {prefix + "\\a.dmp", prefix + "\\more.dmp\\inner.txt"};
    EXPECT_EQ(expected, zip.Names());
}

TEST(ZipWriter, WithoutRecursionSubFoldersArePassedOver)
{
    CTempFolder temp;
    std::string folder = temp / "flat";
    MakeFolder(folder);
    MakeFolder(folder + "\\sub");
    WriteTextFile(folder + "\\top.txt", "top");
    WriteTextFile(folder + "\\sub\\below.txt", "below");
    std::string archive = temp / "flat.zip";
    // A trailing backslash does not double the separator in the names.
    {
        CZipWriter writer(0);
        ASSERT_TRUE(writer.Open(archive.c_str(), false));
        EXPECT_TRUE(writer.AddFolder((folder + "\\").c_str(), 9, false));
    }

    SArchive zip = Inspect(archive);
    std::set<std::string> expected = {EntryName(folder) + "\\top.txt"};
    EXPECT_EQ(expected, zip.Names());
}

TEST(ZipWriter, LockedFileEndsTheWalkThere)
{
    CTempFolder temp;
    std::string crash = temp / "crash.3";
    MakeFolder(crash);
    const char* names[] = {"one.txt", "two.txt", "three.txt", "four.txt"};
    for (size_t i = 0; i < 4; ++i)
        WriteTextFile(crash + "\\" + names[i], std::string("contents of ") + names[i]);
    std::vector<std::string> order = FilesInWalkOrder(crash);
    ASSERT_EQ(4u, order.size());

    // The second file of the walk is held open with no sharing at all.
    HANDLE held = CreateFileA((crash + "\\" + order[1]).c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING,
        FILE_ATTRIBUTE_NORMAL, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    std::string archive = crash + ".zip";
    bool added = Pack(crash, archive);
    CloseHandle(held);
    EXPECT_FALSE(added);

    // What was written before the failure is a readable archive; nothing after
    // the locked file was tried.
    SArchive zip = Inspect(archive);
    EXPECT_EQ("ok", zip.open);
    std::string prefix = EntryName(crash) + "\\";
    const SEntry* first = zip.Find(prefix + order[0]);
    ASSERT_TRUE(first != 0);
    EXPECT_EQ(Hex("contents of " + order[0]), first->contents);
    EXPECT_TRUE(zip.Find(prefix + order[2]) == 0);
    EXPECT_TRUE(zip.Find(prefix + order[3]) == 0);
}

TEST(ZipWriter, StopFlagSetBeforehandAddsNothing)
{
    CTempFolder temp;
    std::string crash = temp / "crash.4";
    MakeFolder(crash);
    WriteTextFile(crash + "\\crashinfo.dat", "info");
    std::string archive = crash + ".zip";

    volatile bool cancel = true;
    EXPECT_FALSE(Pack(crash, archive, &cancel));
    {
        CZipWriter writer(&cancel);
        EXPECT_TRUE(writer.IsCancelled());
        ASSERT_TRUE(writer.Open((temp / "single.zip").c_str(), false));
        EXPECT_FALSE(writer.AddFile((crash + "\\crashinfo.dat").c_str(), 9));
    }
    SArchive zip = Inspect(archive);
    EXPECT_EQ("ok", zip.open);
    EXPECT_TRUE(zip.entries.empty());

    cancel = false;
    EXPECT_TRUE(Pack(crash, archive, &cancel));
    EXPECT_EQ(1u, Inspect(archive).entries.size());
}

TEST(ZipWriter, NothingOpenMeansNothingAdded)
{
    CTempFolder temp;
    WriteTextFile(temp / "file.txt", "x");
    CZipWriter writer(0);
    EXPECT_FALSE(writer.IsCancelled());
    EXPECT_TRUE(writer.Close());
    EXPECT_FALSE(writer.AddFile((temp / "file.txt").c_str(), 9));
    EXPECT_FALSE(writer.Open((temp / "missing\\a.zip").c_str(), false));
    EXPECT_FALSE(writer.AddFile((temp / "file.txt").c_str(), 9));
    EXPECT_TRUE(writer.Close());
}

TEST(ZipWriter, FolderLinksAreNotFollowed)
{
    CTempFolder temp;
    std::string outside = temp / "outside";
    MakeFolder(outside);
    WriteTextFile(outside + "\\secret.txt", "not part of the report");
    std::string crash = temp / "crash.5";
    MakeFolder(crash);
    WriteTextFile(crash + "\\crashinfo.dat", "info");
    CLinuxLink elsewhere(outside, crash + "\\elsewhere");
    CLinuxLink loop(crash, crash + "\\loop");
    if (!elsewhere.Made() || !loop.Made())
        GTEST_SKIP() << "no folder link could be made here";
    DWORD attributes = GetFileAttributesA((crash + "\\loop").c_str());
    ASSERT_NE(INVALID_FILE_ATTRIBUTES, attributes);
    EXPECT_EQ(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT,
        attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT));

    std::string archive = crash + ".zip";
    EXPECT_TRUE(Pack(crash, archive));

    SArchive zip = Inspect(archive);
    std::set<std::string> expected = {EntryName(crash) + "\\crashinfo.dat"};
    EXPECT_EQ(expected, zip.Names());
}

TEST(LoadFileBytes, ReadsWholeFilesAndFailsOnMissingOrLockedOnes)
{
    CTempFolder temp;
    Container::CArray<unsigned char> bytes;

    WriteTextFile(temp / "empty.zip", "");
    EXPECT_TRUE(LoadFileBytes((temp / "empty.zip").c_str(), bytes));
    EXPECT_EQ(0u, bytes.GetSize());

    std::string data = Incompressible(70000);
    WriteTextFile(temp / "data.zip", data);
    ASSERT_TRUE(LoadFileBytes((temp / "data.zip").c_str(), bytes));
    ASSERT_EQ(data.size(), bytes.GetSize());
    EXPECT_EQ(data, std::string(reinterpret_cast<const char*>(bytes.GetData()), bytes.GetSize()));

    // A failure leaves what the array held.
    EXPECT_FALSE(LoadFileBytes((temp / "missing.zip").c_str(), bytes));
    EXPECT_EQ(data.size(), bytes.GetSize());

    HANDLE held = CreateFileA((temp / "data.zip").c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING,
        FILE_ATTRIBUTE_NORMAL, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    EXPECT_FALSE(LoadFileBytes((temp / "data.zip").c_str(), bytes));
    CloseHandle(held);
}
