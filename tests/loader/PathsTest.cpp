#include "loader/Paths.h"

#include "foundation/ExtraInfoException.h"
#include "foundation/FileSystem.h"
#include "tests/loader/PathsFile.h"
#include "tests/support/TempFolder.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

namespace
{
    std::string Variable(const char* name)
    {
        char value[1024];
        DWORD length = GetEnvironmentVariableA(name, value, sizeof(value));
        if (length == 0 || length >= sizeof(value))
            return "<unset>";
        return value;
    }

    std::string ShellFolder(int id)
    {
        char path[MAX_PATH];
        return GetSpecialFolderPath(path, id) ? std::string(path) : std::string();
    }

    // The text of the error that GetFolder raises, or "" when it raises none.
    std::string FolderError(CPaths& paths, const char* name, int* code = NULL)
    {
        try
        {
            paths.GetFolder(name);
        }
        catch (CExtraInfoException* e)
        {
            std::string text = e->GetErrorText();
            if (code != NULL)
                *code = e->GetCode();
            e->Dispose();
            return text;
        }
        return std::string();
    }

    std::string FolderText(const std::string& name, const std::string& path)
    {
        return "Sorry, Vantelo was unable to find folder [" + name + "]->'" + path +
               "', cannot continue.\nPlease ensure that the folder drive is accessible or contact support at "
               "https://support.vantelo.com.";
    }
}

TEST(Paths, CreationPublishesTheBaseAndShellFolders)
{
    CTempFolder base;
    std::string folder = base.Path().substr(0, base.Path().size() - 1);
    CPaths paths(CSmallString(folder.c_str()));
    EXPECT_EQ(base.Path(), std::string(paths.GetBaseFolder()));
    EXPECT_EQ(base.Path(), Variable("VTDIR"));
    EXPECT_EQ(base.Path(), Variable("APP"));

    std::string userData = ShellFolder(26);
    std::string commonData = ShellFolder(35);
    std::string videos = ShellFolder(14);
    EXPECT_EQ(userData.empty() ? base.Path() : userData, Variable("USER_APPDATA"));
    EXPECT_EQ(commonData.empty() ? base.Path() : commonData, Variable("APPDATA"));
    EXPECT_EQ(videos.empty() ? base.Path() + "\\My Videos" : videos, Variable("CSIDL_MYVIDEO"));
}

TEST(Paths, EmptyBaseFolderSetsNoVariable)
{
    const char* names[] = {"VTDIR", "APP", "USER_APPDATA", "APPDATA", "CSIDL_MYVIDEO"};
    for (size_t i = 0; i < 5; ++i)
        SetEnvironmentVariableA(names[i], "before");
    CPaths paths((CSmallString()));
    for (size_t i = 0; i < 5; ++i)
        EXPECT_EQ("before", Variable(names[i])) << names[i];
}

TEST(Paths, LoadAnswersWhetherTheFileHoldsAPathsElement)
{
    struct Case
    {
        const char* what;
        const char* text;
        bool loaded;
    } cases[] = {
        {"no entries", "<paths/>", true},
        {"any element name counts", "<paths><x name=\"n\" path=\"p\"/></paths>", true},
        {"top-level name in other letter case", "<Paths><x name=\"n\" path=\"p\"/></Paths>", false},
        {"other top-level element", "<folders/>", false},
        {"not well-formed", "<paths><x name=\"n\" path=\"p\"></paths>", false},
        {"empty file", "", false},
    };
    for (size_t i = 0; i < sizeof(cases) / sizeof(cases[0]); ++i)
    {
        SCOPED_TRACE(cases[i].what);
        CTempFolder folder;
        WriteTextFile(folder / "paths.dat", cases[i].text);
        CPaths paths((CSmallString()));
        EXPECT_EQ(cases[i].loaded, paths.Load((folder / "paths.dat").c_str()));
    }
    CTempFolder folder;
    CPaths paths((CSmallString()));
    EXPECT_FALSE(paths.Load((folder / "missing.dat").c_str()));
}

TEST(Paths, FailedLoadKeepsEarlierEntriesAndTakesNoneOfItsOwn)
{
    CTempFolder folder;
    WritePathsFile(folder / "first.dat", {FolderEntry("new", "C:\\first")});
    WriteTextFile(folder / "broken.dat", "<paths><a name=\"new\" path=\"C:\\broken\" type=\"1\"/><b name=\"other\" path=\"x\"></paths>");
    CPaths paths((CSmallString()));
    ASSERT_TRUE(paths.Load((folder / "first.dat").c_str()));
    EXPECT_FALSE(paths.Load((folder / "broken.dat").c_str()));
    ASSERT_TRUE(paths.FindMapping("new") != NULL);
    EXPECT_EQ("C:\\first\\", std::string(paths.FindMapping("new")->m_path));
    EXPECT_TRUE(paths.FindMapping("other") == NULL);
}

TEST(Paths, EntriesTakeTypeAndPathAsWritten)
{
    struct Case
    {
        const char* attributes;
        const char* name;
        bool present;
        int type;
        const char* path;
    } cases[] = {
        {"name=\"a\" path=\"C:\\a\" type=\"1\"", "a", true, 1, "C:\\a\\"},
        {"name=\"b\" path=\"C:\\b\\\" type=\"1\"", "b", true, 1, "C:\\b\\"},
        {"name=\"c\" path=\"C:\\c\" type=\"0\"", "c", true, 0, "C:\\c"},
        {"name=\"d\" path=\"C:\\d\"", "d", true, 0, "C:\\d"},
        {"name=\"e\" path=\"C:\\e\" type=\"  +1xyz\"", "e", true, 1, "C:\\e\\"},
        {"name=\"f\" path=\"C:\\f\" type=\"folder\"", "f", true, 0, "C:\\f"},
        {"name=\"g\" path=\"C:\\g\" type=\"-7\"", "g", true, -7, "C:\\g"},
        {"name=\"h\" path=\".jpg\" type=\"2\"", "h", true, 2, ".jpg"},
        {"NAME=\"i\" Path=\"C:\\i\" TYPE=\"1\"", "i", true, 1, "C:\\i\\"},
        {"name=\"j\" type=\"1\"", "j", false, 0, ""},
        {"path=\"C:\\k\" type=\"1\"", "k", false, 0, ""},
        {"name=\"l\" path=\"%APP%images\" type=\"1\"", "l", true, 1, "<base>images\\"},
        {"name=\"m\" path=\"C:\\m\" type=\"99999999999\"", "m", true, 0x7FFFFFFF, "C:\\m"},
    };
    CTempFolder folder;
    std::string text = "<paths>";
    for (size_t i = 0; i < sizeof(cases) / sizeof(cases[0]); ++i)
        text += std::string("<entry ") + cases[i].attributes + "/>";
    text += "</paths>";
    WriteTextFile(folder / "paths.dat", text);

    CPaths paths(CSmallString(folder.Path().c_str()));
    ASSERT_TRUE(paths.Load((folder / "paths.dat").c_str()));
    for (size_t i = 0; i < sizeof(cases) / sizeof(cases[0]); ++i)
    {
        SCOPED_TRACE(cases[i].attributes);
        const CPaths::CPathMapping* mapping = paths.FindMapping(cases[i].name);
        ASSERT_EQ(cases[i].present, mapping != NULL);
        if (mapping == NULL)
            continue;
        std::string expected = cases[i].path;
        if (expected.compare(0, 6, "<base>") == 0)
            expected = folder.Path() + expected.substr(6);
        EXPECT_EQ(cases[i].type, mapping->m_type);
        EXPECT_EQ(expected, std::string(mapping->m_path));
        EXPECT_FALSE(mapping->m_creationTried);
    }
}

TEST(Paths, PathBeyondTheExpansionBufferIsSkipped)
{
    CTempFolder folder;
    std::string fits = "C:\\" + std::string(515, 'f');
    std::string tooLong = "C:\\" + std::string(517, 'g');
    SetEnvironmentVariableA("VANTELO_LONG_PART", std::string(400, 'v').c_str());
    WritePathsFile(folder / "paths.dat", {{"fits", fits, "0"}, {"long", tooLong, "0"},
                                          {"expanded", "C:\\%VANTELO_LONG_PART%\\%VANTELO_LONG_PART%", "0"},
                                          {"kept", "C:\\kept", "0"}});
    WritePathsFile(folder / "update.dat", {{"kept", tooLong, "0"}});
    CPaths paths((CSmallString()));
    ASSERT_TRUE(paths.Load((folder / "paths.dat").c_str()));
    ASSERT_TRUE(paths.FindMapping("fits") != NULL);
    EXPECT_EQ(fits, std::string(paths.FindMapping("fits")->m_path));
    EXPECT_TRUE(paths.FindMapping("long") == NULL);
    EXPECT_TRUE(paths.FindMapping("expanded") == NULL);
    ASSERT_TRUE(paths.Load((folder / "update.dat").c_str()));
    EXPECT_EQ("C:\\kept", std::string(paths.FindMapping("kept")->m_path));
}

TEST(Paths, LaterFileOverridesEntryByEntry)
{
    CTempFolder folder;
    WritePathsFile(folder / "paths.dat", {FolderEntry("new", folder / "first-new"), FolderEntry("backup", folder / "backup")});
    WritePathsFile(folder / "user-paths.dat", {{"NEW", folder / "second-new", "1"}});
    CPaths paths(CSmallString(folder.Path().c_str()));
    ASSERT_TRUE(paths.Load((folder / "paths.dat").c_str()));
    EXPECT_EQ(folder / "first-new\\", std::string(paths.GetFolder("new")));
    EXPECT_TRUE(paths.FindMapping("new")->m_creationTried);

    ASSERT_TRUE(paths.Load((folder / "user-paths.dat").c_str()));
    EXPECT_FALSE(paths.FindMapping("new")->m_creationTried);
    EXPECT_EQ(folder / "second-new\\", std::string(paths.GetFolder("New")));
    EXPECT_TRUE(IsFolder(folder / "second-new"));
    EXPECT_EQ(folder / "backup\\", std::string(paths.GetFolder("backup")));
}

TEST(Paths, FolderLookupCreatesOnlyFolderEntries)
{
    CTempFolder folder;
    WritePathsFile(folder / "paths.dat", {FolderEntry("deep", folder / "one\\two\\three"),
                                          {"plain", folder / "plain", "0"},
                                          {"route", folder / "route", "2"},
                                          {"other", folder / "other", "5"}});
    CPaths paths(CSmallString(folder.Path().c_str()));
    ASSERT_TRUE(paths.Load((folder / "paths.dat").c_str()));
    EXPECT_EQ(folder / "one\\two\\three\\", std::string(paths.GetFolder("DEEP")));
    EXPECT_TRUE(IsFolder(folder / "one\\two\\three"));
    const char* notFolders[] = {"plain", "route", "other", "unknown"};
    for (size_t i = 0; i < 4; ++i)
    {
        SCOPED_TRACE(notFolders[i]);
        EXPECT_TRUE(paths.GetFolder(notFolders[i]).IsEmpty());
        EXPECT_FALSE(PathExists(folder / notFolders[i]));
    }
}

TEST(Paths, FolderThatCannotBeMadeRaisesTheFolderError)
{
    CTempFolder folder;
    struct Case
    {
        std::string name;
        std::string path;
    } cases[] = {
        {"New", "B:\\vantelo\\new"},
        {"spaced", folder / "name \\sub"},
        {"empty", ""},
    };
    std::vector<SPathsEntry> entries;
    for (size_t i = 0; i < 3; ++i)
        entries.push_back(FolderEntry(cases[i].name, cases[i].path));
    entries.push_back(FolderEntry("existing", folder / "made \\sub"));
    WritePathsFile(folder / "paths.dat", entries);
    CPaths paths(CSmallString(folder.Path().c_str()));
    ASSERT_TRUE(paths.Load((folder / "paths.dat").c_str()));

    for (size_t i = 0; i < 3; ++i)
    {
        SCOPED_TRACE(cases[i].name);
        std::string stored = cases[i].path.empty() ? std::string() : cases[i].path + "\\";
        int code = -1;
        EXPECT_EQ(FolderText(cases[i].name, stored), FolderError(paths, cases[i].name.c_str(), &code));
        EXPECT_EQ(CBaseException::IoFailure, code);
        // The second lookup tries once more and fails the same way.
        EXPECT_EQ(FolderText(cases[i].name, stored), FolderError(paths, cases[i].name.c_str()));
    }
    // A folder that is already there is answered whatever its name; only the
    // long-path form keeps the trailing space of a folder name.
    ASSERT_TRUE(CreateDirectoryA(("\\\\?\\" + (folder / "made ")).c_str(), NULL));
    ASSERT_TRUE(CreateDirectoryA(("\\\\?\\" + (folder / "made \\sub")).c_str(), NULL));
    EXPECT_EQ(std::string(), FolderError(paths, "existing"));
    EXPECT_EQ(folder / "made \\sub\\", std::string(paths.GetFolder("existing")));
    RemoveDirectoryA(("\\\\?\\" + (folder / "made \\sub")).c_str());
    RemoveDirectoryA(("\\\\?\\" + (folder / "made ")).c_str());
}

TEST(Paths, FilesAreRoutedByTheirExtension)
{
    CTempFolder folder;
    WritePathsFile(folder / "paths.dat", {FolderEntry("channel-images-folder", folder / "images"),
                                          RouteEntry(".jpg", "channel-images-folder"),
                                          RouteEntry(".png", "unconfigured-folder"),
                                          {".gif", "plain", "2"}, {"plain", folder / "plain", "0"},
                                          {".bmp", "channel-images-folder", "0"}});
    CPaths paths(CSmallString(folder.Path().c_str()));
    ASSERT_TRUE(paths.Load((folder / "paths.dat").c_str()));

    struct Case
    {
        std::string file;
        bool routed;
    } cases[] = {
        {"photo.jpg", true},
        {"PHOTO.JPG", true},
        {"archive.jpg.zip", false},
        {"photo.jpg.", false},
        {"readme", false},
        {".jpg", true},
        {"sub.jpg\\readme", false},
        {"C:\\images\\photo.jpg", true},
        {"logo.png", false},
        {"anim.gif", false},
        {"picture.bmp", false},
        {std::string(300, 'b') + ".jpg", false},
        {"a." + std::string(300, 'e'), false},
        {"C:\\" + std::string(300, 'd') + "\\photo.jpg", false},
    };
    for (size_t i = 0; i < sizeof(cases) / sizeof(cases[0]); ++i)
    {
        SCOPED_TRACE(cases[i].file.substr(0, 40));
        CSmallString target("untouched");
        EXPECT_EQ(cases[i].routed, paths.GetFolderForFile(cases[i].file.c_str(), target));
        EXPECT_EQ(cases[i].routed ? folder / "images\\" : folder.Path(), std::string(target));
    }
    EXPECT_TRUE(IsFolder(folder / "images"));
}

TEST(Paths, RouteToAFolderThatCannotBeMadeRaises)
{
    CTempFolder folder;
    WritePathsFile(folder / "paths.dat", {FolderEntry("images", "B:\\images"), RouteEntry(".jpg", "images")});
    CPaths paths(CSmallString(folder.Path().c_str()));
    ASSERT_TRUE(paths.Load((folder / "paths.dat").c_str()));
    CSmallString target;
    std::string text;
    try
    {
        paths.GetFolderForFile("photo.jpg", target);
    }
    catch (CExtraInfoException* e)
    {
        text = e->GetErrorText();
        e->Dispose();
    }
    EXPECT_EQ(FolderText("images", "B:\\images\\"), text);
}
