// The reporter program end to end: the real program under Wine, the stand-in
// network library beside it, and the report receiving server.
#include "tests/reporter/ReporterSession.h"

#include "tests/support/ReportServer.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <string>
#include <vector>

namespace
{
    const char kCaption[] = "Vantelo Problem Reporter";
    const char kSentText[] =
        "Problem Report Has Been Sent.\n\nThank you for helping us make Vantelo better,\nyour feedback is really "
        "valuable to us and\nreally helps us make Vantelo a better product.\n\nPress OK to close.";
    const char kCancelledText[] =
        "Problem Report Has Been Cancelled.\n\nSending us these problem reports really does help us\nmake Vantelo "
        "better, we do look into every one to\ntry and track down any possible problems.\n\nPress OK to close.";
    const char kCrashInfo[] =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<crash>\n  <key>VT-42</key>\n  <em>user@example.com</em>\n"
        "  <build>8.4.0.1117</build>\n  <ver>8.4</ver>\n</crash>\n";

    class ReporterProgramTest : public ::testing::Test
    {
    protected:
        void SetUp()
        {
            ASSERT_TRUE(m_server.IsAvailable()) << "the report server fixture is not running";
            m_server.SetMode("normal");
            m_before = m_server.Requests().size();
        }

        void TearDown()
        {
            m_server.SetMode("normal");
        }

        // The requests that the server has handled since the test began.
        std::vector<CReportServer::CRequest> NewRequests() const
        {
            std::vector<CReportServer::CRequest> requests = m_server.Requests();
            requests.erase(requests.begin(), requests.begin() + std::min(m_before, requests.size()));
            return requests;
        }

        // Sends with the description and answers the query that the server stored.
        std::string SendAndGetQuery(CReporterSession& session, const std::string& description)
        {
            session.TypeDescription(description);
            session.PressAction();
            HWND box = session.WaitForMessageBox();
            EXPECT_TRUE(box != NULL);
            if (box == NULL)
                return std::string();
            EXPECT_EQ(kSentText, MessageBoxText(box));
            EXPECT_EQ(0u, session.PressOkAndWaitForExit(box));
            std::vector<CReportServer::CRequest> requests = NewRequests();
            EXPECT_EQ(1u, requests.size());
            return requests.empty() ? std::string() : requests[0].query;
        }

        CReportServer m_server;
        size_t m_before;
    };

    // The crash folder's path without its drive, as the archive names its entries.
    std::string EntryPrefix(const CReporterSession& session)
    {
        return session.CrashFolder().substr(2) + "\\";
    }
}

TEST_F(ReporterProgramTest, SendUploadsTheArchiveWithTheQueryAndCleansUp)
{
    CReporterSession session(CReporterSession::kStandIn);
    session.MakeCrashFolder(kCrashInfo);
    MakeFolder(session.CrashFolder() + "\\logs");
    session.WriteCrashFile("logs\\a.log", "log line\r\n");
    // Larger than 65535 bytes, so the progress bar needs its 32-bit range.
    session.WriteCrashFile("dump.dmp", RandomBytes(150000, 7));
    // Slow enough that the upload is still under way when the dialog answers again.
    m_server.SetMode("slow", 50, 8192);
    ASSERT_TRUE(session.StartOnCrashFolder());
    EXPECT_EQ("Send", session.ButtonText());

    session.TypeDescription("  It froze\r\nwhen I clicked \r\n");
    session.PressAction();
    session.Sync();
    EXPECT_EQ("Stop", session.ButtonText());
    EXPECT_FALSE(IsWindowEnabled(session.Control(1004)));

    HWND box = session.WaitForMessageBox();
    ASSERT_TRUE(box != NULL);
    EXPECT_EQ(kSentText, MessageBoxText(box));
    EXPECT_EQ(kCaption, WindowText(box));
    EXPECT_TRUE(MessageBoxHasIcon(box));
    EXPECT_EQ(std::vector<int>(1, IDOK), DialogButtons(box));
    EXPECT_EQ(session.Dialog(), GetWindow(box, GW_OWNER));
    EXPECT_TRUE(IsWindowVisible(session.Dialog()));
    EXPECT_EQ("Close", session.ButtonText());

    std::vector<CReportServer::CRequest> requests = NewRequests();
    ASSERT_EQ(1u, requests.size());
    EXPECT_EQ("stored", requests[0].outcome);
    EXPECT_EQ("id=VT-42-crash.1&k=VT-42&e=user%40example%2ecom&b=8%2e4%2e0%2e1117&v=8%2e4&a=Vantelo&p=1"
              "&r=It%20froze%0d%0awhen%20I%20clicked",
              requests[0].query);
    std::string report = m_server.ReportFolder(requests[0].number);
    EXPECT_EQ("Vantelo Crash Reporter", RecordValue(report + "headers.txt", "header.user-agent"));

    std::string archive = ReadTextFile(report + "report.zip");
    EXPECT_GT(archive.size(), 65535u);
    EXPECT_EQ(requests[0].bytes, archive.size());
    std::vector<std::string> names = ZipEntryNames(archive);
    std::sort(names.begin(), names.end());
    std::vector<std::string> expected;
    expected.push_back(EntryPrefix(session) + "crashinfo.dat");
    expected.push_back(EntryPrefix(session) + "dump.dmp");
    expected.push_back(EntryPrefix(session) + "logs\\a.log");
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(expected, names);

    HWND progress = session.Control(1000);
    EXPECT_EQ(static_cast<LRESULT>(archive.size()), SendMessageA(progress, PBM_GETRANGE, FALSE, 0));
    EXPECT_EQ(static_cast<LRESULT>(archive.size()), SendMessageA(progress, PBM_GETPOS, 0, 0));

    EXPECT_EQ(0u, session.PressOkAndWaitForExit(box));
    EXPECT_FALSE(PathExists(session.ArchivePath()));
    EXPECT_FALSE(PathExists(session.CrashFolder()));
}

TEST_F(ReporterProgramTest, AnUploadThatFailsOrIsStoppedShowsCancelled)
{
    struct SCase
    {
        const char* name;
        const char* mode;
        bool pressStop;
    };
    const SCase cases[] = {
        {"server answers 500", "fail500", false},
        {"server drops the connection", "drop", false},
        {"Stop during a slow upload", "slow", true},
    };
    for (const SCase& test : cases)
    {
        SCOPED_TRACE(test.name);
        CReporterSession session(CReporterSession::kStandIn);
        session.MakeCrashFolder(kCrashInfo);
        // The slow server takes seconds for this body: Stop comes long before its end.
        session.WriteCrashFile("dump.dmp", RandomBytes(40000, 3));
        m_server.SetMode(test.mode, 500, 4096);
        ASSERT_TRUE(session.StartOnCrashFolder());
        session.PressAction();
        if (test.pressStop)
        {
            session.Sync();
            ASSERT_EQ("Stop", session.ButtonText());
            session.PressAction();
        }
        HWND box = session.WaitForMessageBox();
        ASSERT_TRUE(box != NULL);
        EXPECT_EQ(kCancelledText, MessageBoxText(box));
        EXPECT_EQ(kCaption, WindowText(box));
        EXPECT_EQ(session.Dialog(), GetWindow(box, GW_OWNER));
        // A failed transfer still ends with a notification; a stopped one does not.
        EXPECT_EQ(test.pressStop ? "Stop" : "Close", session.ButtonText());
        EXPECT_EQ(0u, session.PressOkAndWaitForExit(box));
        EXPECT_FALSE(PathExists(session.ArchivePath()));
        EXPECT_FALSE(PathExists(session.CrashFolder()));
        m_server.SetMode("normal");
    }
}

TEST_F(ReporterProgramTest, ClosingBeforeSendUploadsNothingAndDeletesOnlyACrashFolder)
{
    struct SCase
    {
        const char* name;
        bool escape;
        bool crashInfo;
    };
    const SCase cases[] = {
        {"close box, crashinfo.dat", false, true},
        {"close box, no crashinfo.dat", false, false},
        {"Escape, crashinfo.dat", true, true},
        {"Escape, no crashinfo.dat", true, false},
    };
    for (const SCase& test : cases)
    {
        SCOPED_TRACE(test.name);
        CReporterSession session(CReporterSession::kStandIn);
        session.MakeCrashFolder(test.crashInfo ? kCrashInfo : NULL);
        session.WriteCrashFile("dump.dmp", "dump");
        // An archive of an earlier run is not this run's to delete before Send.
        WriteTextFile(session.ArchivePath(), "older");
        ASSERT_TRUE(session.StartOnCrashFolder());
        session.TypeDescription("nothing");
        if (test.escape)
            PostMessageA(session.Control(1004), WM_KEYDOWN, VK_ESCAPE, 0x00010001);
        else
            PostMessageA(session.Dialog(), WM_SYSCOMMAND, SC_CLOSE, 0);
        EXPECT_EQ(0u, session.WaitForExit());
        EXPECT_EQ(!test.crashInfo, PathExists(session.CrashFolder()));
        EXPECT_EQ(!test.crashInfo, PathExists(session.CrashFolder() + "\\dump.dmp"));
        EXPECT_TRUE(PathExists(session.ArchivePath()));
    }
    EXPECT_TRUE(NewRequests().empty());
}

TEST_F(ReporterProgramTest, CrashDescriptionValuesAreSentAsRead)
{
    struct SCase
    {
        const char* name;
        const char* crashInfo;
        const char* values;
    };
    const SCase cases[] = {
        {"names in other letter case, a later name wins",
         "<crash><KEY> k-1 </KEY><Em>first</Em><eM>\r\n a b \t</eM><BUILD>7</BUILD><Ver>1.0</Ver>"
         "<other>x</other><build2>y</build2></crash>",
         "id=k-1-crash.1&k=k-1&e=a%20b&b=7&v=1%2e0"},
        {"top element in other letter case", "<Crash><key>k</key><em>e</em></Crash>", "id=-crash.1&k=&e=&b=&v="},
        {"not well-formed", "<crash><key>k</key><em>e</em>", "id=-crash.1&k=&e=&b=&v="},
        {"deeper elements are not children", "<crash><info><key>k</key></info><ver>2</ver></crash>",
         "id=-crash.1&k=&e=&b=&v=2"},
        {"declared UTF-8 arrives in the code page",
         "<?xml version=\"1.0\" encoding=\"UTF-8\"?><crash><key>K</key><em>caf\xc3\xa9</em></crash>",
         "id=K-crash.1&k=K&e=caf%e9&b=&v="},
        {"no crashinfo.dat", NULL, "id=-crash.1&k=&e=&b=&v="},
    };
    for (const SCase& test : cases)
    {
        SCOPED_TRACE(test.name);
        m_before = m_server.Requests().size();
        CReporterSession session(CReporterSession::kStandIn);
        session.MakeCrashFolder(test.crashInfo);
        session.WriteCrashFile("dump.dmp", "dump");
        ASSERT_TRUE(session.StartOnCrashFolder());
        EXPECT_EQ(std::string(test.values) + "&a=Vantelo&p=1&r=", SendAndGetQuery(session, ""));
        // Only a folder that holds "crashinfo.dat" is the reporter's to delete.
        EXPECT_EQ(test.crashInfo == NULL, PathExists(session.CrashFolder()));
        EXPECT_FALSE(PathExists(session.ArchivePath()));
    }
}

TEST_F(ReporterProgramTest, AReportThatCannotBePreparedShowsCancelledAndSendsNothing)
{
    enum EProblem
    {
        kNoOption,
        kEmptyOption,
        kMissingFolder,
        kLockedFile,
        kArchiveIsAFolder,
        kOlderArchiveHeld
    };
    struct SCase
    {
        const char* name;
        EProblem problem;
    };
    const SCase cases[] = {
        {"no crash folder option", kNoOption},
        {"empty crash folder option", kEmptyOption},
        {"crash folder missing", kMissingFolder},
        {"a file of the folder is locked", kLockedFile},
        {"the archive cannot be created", kArchiveIsAFolder},
        {"an older archive survives and cannot be replaced", kOlderArchiveHeld},
    };
    for (const SCase& test : cases)
    {
        SCOPED_TRACE(test.name);
        CReporterSession session(CReporterSession::kStandIn);
        if (test.problem != kMissingFolder)
        {
            session.MakeCrashFolder(kCrashInfo);
            session.WriteCrashFile("dump.dmp", "dump");
        }
        HANDLE held = INVALID_HANDLE_VALUE;
        if (test.problem == kLockedFile)
        {
            session.WriteCrashFile("locked.dmp", "locked");
            held = CreateFileA((session.CrashFolder() + "\\locked.dmp").c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                               NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
            ASSERT_NE(INVALID_HANDLE_VALUE, held);
        }
        if (test.problem == kArchiveIsAFolder)
            MakeFolder(session.ArchivePath());
        if (test.problem == kOlderArchiveHeld)
        {
            // Readable by others, but neither writable nor deletable.
            WriteTextFile(session.ArchivePath(), ReadTextFile(BinFolder() + "ScriptedNetwork.dll"));
            held = CreateFileA(session.ArchivePath().c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, NULL);
            ASSERT_NE(INVALID_HANDLE_VALUE, held);
        }

        bool started = false;
        if (test.problem == kNoOption)
            started = session.Start("");
        else if (test.problem == kEmptyOption)
            started = session.Start("-F=");
        else
            started = session.StartOnCrashFolder();
        ASSERT_TRUE(started);
        session.PressAction();
        HWND box = session.WaitForMessageBox();
        ASSERT_TRUE(box != NULL);
        EXPECT_EQ(kCancelledText, MessageBoxText(box));
        EXPECT_EQ(session.Dialog(), GetWindow(box, GW_OWNER));
        EXPECT_EQ(0u, session.PressOkAndWaitForExit(box));
        if (test.problem == kLockedFile)
        {
            // Closed before the clean-up, so the partial archive goes too.
            EXPECT_FALSE(PathExists(session.ArchivePath()));
            EXPECT_TRUE(PathExists(session.CrashFolder() + "\\locked.dmp"));
        }
        if (held != INVALID_HANDLE_VALUE)
            CloseHandle(held);
    }
    EXPECT_TRUE(NewRequests().empty());
}
