// The reporter against a scripted transfer object: what it calls, in which
// order, and how it takes the transfer's answers. The scripted "Network.dll"
// notes every call in the session's record.
#include "tests/reporter/ReporterSession.h"

#include "tests/support/ReportServer.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

namespace
{
    const char kCancelledText[] =
        "Problem Report Has Been Cancelled.\n\nSending us these problem reports really does help us\nmake Vantelo "
        "better, we do look into every one to\ntry and track down any possible problems.\n\nPress OK to close.";
    const char kCrashInfo[] = "<crash><key>K1</key><em>e</em><build>b</build><ver>v</ver></crash>";
    const char kFactoryLine[] = "factory callback=set id=1 proxy= port=0 type= headers= progress=1";

    size_t CountLines(const std::vector<std::string>& lines, const std::string& line)
    {
        size_t count = 0;
        for (size_t i = 0; i < lines.size(); ++i)
            count += lines[i] == line ? 1 : 0;
        return count;
    }

    size_t LastIndexOf(const std::vector<std::string>& lines, const std::string& line)
    {
        for (size_t i = lines.size(); i > 0; --i)
        {
            if (lines[i - 1] == line)
                return i - 1;
        }
        return lines.size();
    }

    bool StartsWith(const std::string& text, const std::string& prefix)
    {
        return text.compare(0, prefix.size(), prefix) == 0;
    }

    // The calls of the record from index on that the transfer object received
    // when it was stopped, without the progress notes of its thread.
    std::vector<std::string> CallsFrom(const std::vector<std::string>& lines, size_t index)
    {
        std::vector<std::string> calls;
        for (size_t i = index; i < lines.size(); ++i)
        {
            if (!StartsWith(lines[i], "progress"))
                calls.push_back(lines[i]);
        }
        return calls;
    }

    class ReporterContractTest : public ::testing::Test
    {
    protected:
        // The warm-up connection finds the report server at once.
        void SetUp() { ASSERT_TRUE(CReportServer().IsAvailable()) << "the report server fixture is not running"; }
    };
}

TEST_F(ReporterContractTest, APollThatFindsTheTransferFailedShowsCancelledBeforeItFinishes)
{
    CReporterSession session(CReporterSession::kScripted, "fail-unfinished");
    session.MakeCrashFolder(kCrashInfo);
    ASSERT_TRUE(session.StartOnCrashFolder());
    session.TypeDescription("a b");
    session.PressAction();
    HWND box = session.WaitForMessageBox();
    ASSERT_TRUE(box != NULL);
    EXPECT_EQ(kCancelledText, MessageBoxText(box));

    std::vector<std::string> lines = session.RecordLines();
    ASSERT_GE(lines.size(), 6u);
    EXPECT_EQ(kFactoryLine, lines[0]);
    EXPECT_EQ("SetOptions 5 6000", lines[1]);
    EXPECT_EQ("SetAgentName Vantelo Crash Reporter", lines[2]);
    std::string archive = ReadTextFile(session.RecordPath() + ".body");
    EXPECT_EQ("Start size=" + std::to_string(archive.size()) + " reserved=0,0", lines[3]);
    EXPECT_FALSE(ZipEntryNames(archive).empty());
    int port = CReportServer().Port();
    std::string host = port == 80 ? "127.0.0.1" : "127.0.0.1:" + std::to_string(port);
    EXPECT_EQ("url=http://" + host + "/dumpreport.asp?id=K1-crash.1&k=K1&e=e&b=b&v=v&a=Vantelo&p=1&r=a%20b",
              lines[4]);
    // Not finished, but failed: the poll ends the upload at once.
    EXPECT_EQ("IsFinished false", lines[5]);
    EXPECT_EQ(0u, CountLines(lines, "Cancel"));
    EXPECT_EQ(0u, CountLines(lines, "Release"));

    EXPECT_EQ(0u, session.PressOkAndWaitForExit(box));
    lines = session.RecordLines();
    size_t cancel = LastIndexOf(lines, "Cancel");
    ASSERT_LT(cancel, lines.size());
    std::vector<std::string> expected;
    expected.push_back("Cancel");
    expected.push_back("IsFinished true");
    expected.push_back("Release");
    EXPECT_EQ(expected, CallsFrom(lines, cancel));
    EXPECT_FALSE(PathExists(session.CrashFolder()));
    EXPECT_FALSE(PathExists(session.ArchivePath()));
}

TEST_F(ReporterContractTest, StoppingWaitsUntilTheTransferHasFinishedAndReleasesItOnce)
{
    CReporterSession session(CReporterSession::kScripted, "slow-finish");
    session.MakeCrashFolder(kCrashInfo);
    ASSERT_TRUE(session.StartOnCrashFolder());
    session.PressAction();
    session.Sync();
    ASSERT_TRUE(session.WaitForRecord("Start "));
    EXPECT_EQ("Stop", session.ButtonText());
    EXPECT_FALSE(IsWindowEnabled(session.Control(1004)));
    ASSERT_TRUE(session.WaitForRecord("HasFailed false"));
    PostMessageA(session.Dialog(), WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(0u, session.WaitForExit());

    std::vector<std::string> lines = session.RecordLines();
    size_t cancel = LastIndexOf(lines, "Cancel");
    ASSERT_LT(cancel, lines.size());
    std::vector<std::string> expected;
    expected.push_back("Cancel");
    for (int i = 0; i < 3; ++i)
        expected.push_back("IsFinished false");
    expected.push_back("IsFinished true");
    expected.push_back("Release");
    EXPECT_EQ(expected, CallsFrom(lines, cancel));
    EXPECT_EQ(1u, CountLines(lines, "Cancel"));
    EXPECT_EQ(1u, CountLines(lines, "Release"));
    EXPECT_FALSE(PathExists(session.CrashFolder()));
    EXPECT_FALSE(PathExists(session.ArchivePath()));
}

TEST_F(ReporterContractTest, ProgressAnswersFalseOnceStopIsPressed)
{
    CReporterSession session(CReporterSession::kScripted, "progress-stop");
    session.MakeCrashFolder(kCrashInfo);
    session.WriteCrashFile("dump.dmp", RandomBytes(20000, 11));
    ASSERT_TRUE(session.StartOnCrashFolder());
    session.PressAction();
    ASSERT_TRUE(session.WaitForRecord("progress 3 true"));
    session.PressAction();
    HWND box = session.WaitForMessageBox();
    ASSERT_TRUE(box != NULL);
    EXPECT_EQ(kCancelledText, MessageBoxText(box));
    EXPECT_EQ("Stop", session.ButtonText());

    std::vector<std::string> lines = session.RecordLines();
    size_t cancel = LastIndexOf(lines, "Cancel");
    ASSERT_LT(cancel, lines.size());
    size_t before = 0;
    size_t after = 0;
    for (size_t i = 0; i < lines.size(); ++i)
    {
        if (StartsWith(lines[i], "progress-after-cancel"))
        {
            EXPECT_GT(i, cancel);
            EXPECT_TRUE(lines[i].size() > 6 && lines[i].compare(lines[i].size() - 6, 6, " false") == 0) << lines[i];
            ++after;
        }
        else if (StartsWith(lines[i], "progress ") && i < cancel)
        {
            EXPECT_TRUE(lines[i].compare(lines[i].size() - 5, 5, " true") == 0) << lines[i];
            ++before;
        }
    }
    EXPECT_GE(before, 3u);
    EXPECT_EQ(3u, after);
    EXPECT_EQ(0u, session.PressOkAndWaitForExit(box));
    EXPECT_EQ(1u, CountLines(session.RecordLines(), "Release"));
}

TEST_F(ReporterContractTest, AnUploadThatCannotStartLeavesTheDialogBusy)
{
    struct SCase
    {
        const char* name;
        CReporterSession::ENetwork network;
        const char* script;
        // A transfer object was made, so closing must stop and release it.
        bool madeTransfer;
        bool raised;
    };
    const SCase cases[] = {
        {"the factory answers null", CReporterSession::kScripted, "null", false, false},
        {"the factory raises", CReporterSession::kScripted, "raise-factory", false, true},
        {"Start raises", CReporterSession::kScripted, "raise-start", true, true},
        {"no network library", CReporterSession::kNoLibrary, "", false, false},
    };
    for (const SCase& test : cases)
    {
        SCOPED_TRACE(test.name);
        CReporterSession session(test.network, test.script);
        session.MakeCrashFolder(kCrashInfo);
        ASSERT_TRUE(session.StartOnCrashFolder());
        session.PressAction();
        session.Sync();
        EXPECT_EQ("Stop", session.ButtonText());
        // Stop has nothing to stop, and no poll runs to end the report.
        session.PressAction();
        session.Sync();
        Sleep(1000);
        EXPECT_TRUE(session.FindMessageBox() == NULL);
        EXPECT_EQ("Stop", session.ButtonText());
        EXPECT_TRUE(IsWindowVisible(session.Dialog()));

        std::vector<std::string> lines = session.RecordLines();
        if (test.network == CReporterSession::kScripted)
        {
            EXPECT_EQ(1u, CountLines(lines, kFactoryLine));
        }
        EXPECT_EQ(test.raised ? 1u : 0u, CountLines(lines, "exception-destroyed"));
        EXPECT_EQ(test.madeTransfer ? 1u : 0u, CountLines(lines, "Cancel"));
        EXPECT_EQ(0u, CountLines(lines, "Release"));

        PostMessageA(session.Dialog(), WM_SYSCOMMAND, SC_CLOSE, 0);
        EXPECT_EQ(0u, session.WaitForExit());
        lines = session.RecordLines();
        EXPECT_EQ(test.madeTransfer ? 1u : 0u, CountLines(lines, "Release"));
        if (test.madeTransfer)
        {
            EXPECT_EQ("Release", lines.back());
        }
        EXPECT_FALSE(PathExists(session.CrashFolder()));
        EXPECT_FALSE(PathExists(session.ArchivePath()));
    }
}

TEST_F(ReporterContractTest, TheDialogOpensCentredAndTopmostAndGreysTheLockedDescriptionBox)
{
    // A factory that answers null keeps the dialog up, busy, after Send.
    CReporterSession session(CReporterSession::kScripted, "null");
    session.MakeCrashFolder(kCrashInfo);
    ASSERT_TRUE(session.StartOnCrashFolder());
    session.Sync();
    HWND dialog = session.Dialog();

    RECT screen;
    RECT window;
    ASSERT_TRUE(GetWindowRect(GetDesktopWindow(), &screen));
    ASSERT_TRUE(GetWindowRect(dialog, &window));
    EXPECT_EQ(screen.left + (screen.right - screen.left - (window.right - window.left)) / 2, window.left);
    EXPECT_EQ(screen.top + (screen.bottom - screen.top - (window.bottom - window.top)) / 2, window.top);
    EXPECT_TRUE(GetWindowLongA(dialog, GWL_EXSTYLE) & WS_EX_TOPMOST);
    GUITHREADINFO thread;
    thread.cbSize = sizeof(thread);
    ASSERT_TRUE(GetGUIThreadInfo(GetWindowThreadProcessId(dialog, NULL), &thread));
    EXPECT_EQ(session.Control(1004), thread.hwndFocus);
    EXPECT_EQ("Send", session.ButtonText());

    // A point of the empty description box, read back from the screen.
    RECT box;
    ASSERT_TRUE(GetWindowRect(session.Control(1004), &box));
    POINT inside = {(box.left + box.right) / 2, (box.top + box.bottom) / 2};
    HDC screenDc = GetDC(NULL);
    EXPECT_EQ(RGB(255, 255, 255), GetPixel(screenDc, inside.x, inside.y));

    session.PressAction();
    session.Sync();
    EXPECT_FALSE(IsWindowEnabled(session.Control(1004)));
    EXPECT_TRUE(GetWindowLongA(session.Control(1004), GWL_STYLE) & ES_READONLY);
    EXPECT_EQ(GetSysColor(COLOR_BTNFACE), GetPixel(screenDc, inside.x, inside.y));
    ReleaseDC(NULL, screenDc);

    PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(0u, session.WaitForExit());
}
