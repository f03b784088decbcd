#include "reporter/NetworkInterfaceABC.h"
#include "reporter/NetworkInterfaceCallbackABC.h"

#include "tests/support/ReportServer.h"
#include "tests/support/TempFolder.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

#include <winsock2.h>
#include <windows.h>
#include <wininet.h>
#include <zip.h>

#include <string>
#include <vector>

namespace
{
    const DWORD kWaitMs = 60000;
    const char kQuery[] = "id=abc-123&k=K%20ey&e=me%40example.com&b=42&v=1.2.3&a=Vantelo&p=1&r=line%0D%0Anext";

    struct CEnded
    {
        int id;
        int succeeded;
        int status;
        int error;
    };

    // Notes every notification. The calls come from the library's thread;
    // after Release no more can come, so the tests read the notes then.
    class CRecorder : public CNetworkInterfaceCallbackABC
    {
    public:
        explicit CRecorder(bool progressAnswer = true, HWND window = NULL)
            : m_progressAnswer(progressAnswer), m_window(window), m_others(0),
              m_progressEvent(CreateEventA(NULL, TRUE, FALSE, NULL))
        {
            InitializeCriticalSection(&m_lock);
        }

        ~CRecorder()
        {
            CloseHandle(m_progressEvent);
            DeleteCriticalSection(&m_lock);
        }

        virtual bool OnTransferEnded(int id, int succeeded, int status, int error)
        {
            CEnded ended = {id, succeeded, status, error};
            EnterCriticalSection(&m_lock);
            m_ended.push_back(ended);
            LeaveCriticalSection(&m_lock);
            return true;
        }
        virtual bool OnTransferEndedEx(int, int, int, int, int) { return Other(); }
        virtual bool OnNotify(int, int, int) { return Other(); }
        virtual bool OnNotifyEx(int, int, int, int) { return Other(); }
        virtual bool OnProgress(int id, int, int, int bytesSoFar)
        {
            EnterCriticalSection(&m_lock);
            m_progress.push_back(bytesSoFar);
            m_progressIds.push_back(id);
            LeaveCriticalSection(&m_lock);
            SetEvent(m_progressEvent);
            // As the reporter does: the progress bar is told through a window message.
            if (m_window != NULL)
                SendMessageA(m_window, WM_USER, 0, bytesSoFar);
            return m_progressAnswer;
        }

        bool WaitForProgress() { return WaitForSingleObject(m_progressEvent, kWaitMs) == WAIT_OBJECT_0; }

        std::vector<int> m_progress;
        std::vector<int> m_progressIds;
        std::vector<CEnded> m_ended;

    private:
        bool Other()
        {
            InterlockedIncrement(&m_others);
            return true;
        }

        bool m_progressAnswer;
        HWND m_window;
        CRITICAL_SECTION m_lock;

    public:
        LONG m_others;

    private:
        HANDLE m_progressEvent;
    };

    CreateNetworkInterfaceProc Factory()
    {
        FARPROC proc = GetProcAddress(GetModuleHandleA("Network.dll"), MAKEINTRESOURCEA(1));
        return reinterpret_cast<CreateNetworkInterfaceProc>(reinterpret_cast<void*>(proc));
    }

    // A transfer made as the reporter makes it.
    CNetworkInterfaceABC* ReporterTransfer(CRecorder& recorder)
    {
        CNetworkInterfaceABC* transfer = Factory()(&recorder, 1, "", 0, "", "", 1);
        if (transfer != NULL)
        {
            transfer->SetOptions(5, 6000);
            transfer->SetAgentName("Vantelo Crash Reporter");
        }
        return transfer;
    }

    bool WaitUntilFinished(CNetworkInterfaceABC* transfer)
    {
        DWORD start = GetTickCount();
        while (!transfer->IsFinished())
        {
            if (GetTickCount() - start > kWaitMs)
                return false;
            Sleep(20);
        }
        return true;
    }

    // A valid archive holding one stored entry of size pseudo-random bytes.
    std::string MakeZip(size_t size)
    {
        CTempFolder folder;
        std::string path = folder / "body.zip";
        zipFile zip = zipOpen(path.c_str(), APPEND_STATUS_CREATE);
        if (zip == NULL)
            return std::string();
        zip_fileinfo info = zip_fileinfo();
        zipOpenNewFileInZip(zip, "data.bin", &info, NULL, 0, NULL, 0, NULL, 0, 0);
        std::string data(size, '\0');
        unsigned int value = 12345;
        for (size_t i = 0; i < size; ++i)
        {
            value = value * 1103515245u + 12345u;
            data[i] = static_cast<char>(value >> 23);
        }
        zipWriteInFileInZip(zip, data.data(), static_cast<unsigned int>(data.size()));
        zipCloseFileInZip(zip);
        zipClose(zip, NULL);
        return ReadTextFile(path);
    }

    // A port on 127.0.0.1 on which nothing listens.
    int UnusedPort()
    {
        WSADATA data;
        WSAStartup(MAKEWORD(1, 1), &data);
        SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address = sockaddr_in();
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        int length = sizeof(address);
        bind(s, reinterpret_cast<sockaddr*>(&address), sizeof(address));
        getsockname(s, reinterpret_cast<sockaddr*>(&address), &length);
        closesocket(s);
        WSACleanup();
        return ntohs(address.sin_port);
    }

    class NetworkTransfer : public ::testing::Test
    {
    protected:
        virtual void SetUp()
        {
            ASSERT_TRUE(m_server.IsAvailable()) << "needs the report_server fixture (VANTELO_REPORT_SERVER)";
            m_server.SetMode("normal");
            m_before = m_server.Requests().size();
        }

        // The server's note of the request that the test made.
        CReportServer::CRequest LastRequest()
        {
            EXPECT_TRUE(m_server.WaitForRequests(m_before, kWaitMs));
            std::vector<CReportServer::CRequest> requests = m_server.Requests();
            EXPECT_EQ(m_before + 1, requests.size()) << "one request per transfer";
            if (requests.size() <= m_before)
                return CReportServer::CRequest();
            return requests.back();
        }

        CReportServer m_server;
        size_t m_before;
    };
}

TEST(NetworkFactory, IsExportedByOrdinalOne)
{
    ASSERT_TRUE(Factory() != NULL);
    EXPECT_TRUE(Factory()(NULL, 1, "", 0, "", "", 1) == NULL) << "no transfer without a callback";
    // The import library resolves the declared name to the same export, as the reporter links it.
    CRecorder recorder;
    CNetworkInterfaceABC* transfer = CreateNetworkInterface(&recorder, 1, "", 0, "", "", 1);
    ASSERT_TRUE(transfer != NULL);
    transfer->Release();
}

TEST_F(NetworkTransfer, UploadsTheExactBodyAndQuery)
{
    std::string body = MakeZip(300000);
    ASSERT_GT(body.size(), 300000u);
    std::string url = m_server.UploadUrl(kQuery);
    // The caller frees both right after Start: the transfer must have its own copies.
    std::vector<char> urlCopy(url.begin(), url.end());
    urlCopy.push_back('\0');
    std::vector<char> bodyCopy(body.begin(), body.end());

    CRecorder recorder;
    CNetworkInterfaceABC* transfer = ReporterTransfer(recorder);
    ASSERT_TRUE(transfer != NULL);
    ASSERT_TRUE(transfer->Start(&urlCopy[0], &bodyCopy[0], static_cast<unsigned int>(bodyCopy.size()), 0, 0));
    std::fill(urlCopy.begin(), urlCopy.end(), 'x');
    std::fill(bodyCopy.begin(), bodyCopy.end(), 'x');
    ASSERT_TRUE(WaitUntilFinished(transfer));
    EXPECT_FALSE(transfer->HasFailed());
    transfer->Release();

    CReportServer::CRequest request = LastRequest();
    EXPECT_EQ("stored", request.outcome);
    EXPECT_EQ(kQuery, request.query);
    std::string report = m_server.ReportFolder(request.number);
    EXPECT_TRUE(ReadTextFile(report + "report.zip") == body) << "the body arrives byte for byte";
    EXPECT_EQ("line\\r\\nnext", RecordValue(report + "query.txt", "r"));
    EXPECT_EQ("Vantelo Crash Reporter", RecordValue(report + "headers.txt", "header.user-agent"));
    EXPECT_EQ("application/octet-stream", RecordValue(report + "headers.txt", "header.content-type"));

    ASSERT_FALSE(recorder.m_progress.empty());
    EXPECT_GT(recorder.m_progress.size(), 1u) << "the body goes out in pieces";
    EXPECT_GT(recorder.m_progress.front(), 0);
    for (size_t i = 1; i < recorder.m_progress.size(); ++i)
        EXPECT_LT(recorder.m_progress[i - 1], recorder.m_progress[i]) << "at " << i;
    EXPECT_EQ(static_cast<int>(body.size()), recorder.m_progress.back());
    EXPECT_EQ(std::vector<int>(recorder.m_progress.size(), 1), recorder.m_progressIds);
    ASSERT_EQ(1u, recorder.m_ended.size());
    EXPECT_EQ(1, recorder.m_ended[0].id);
    EXPECT_EQ(1, recorder.m_ended[0].succeeded);
    EXPECT_EQ(200, recorder.m_ended[0].status);
    EXPECT_EQ(0, recorder.m_ended[0].error);
    EXPECT_EQ(0, recorder.m_others);
}

TEST_F(NetworkTransfer, AnswersOtherThanSuccessAreFailures)
{
    struct Case
    {
        const char* mode;
        bool zipBody;
        int status;
        const char* outcome;
    };
    const Case cases[] = {
        {"fail500", true, 500, "fail500"},
        {"normal", false, 400, "not-zip"},
        {"drop", true, 0, "dropped"},
    };
    std::string zip = MakeZip(100000);
    for (size_t i = 0; i < sizeof(cases) / sizeof(cases[0]); ++i)
    {
        SCOPED_TRACE(cases[i].mode);
        m_server.SetMode(cases[i].mode);
        m_before = m_server.Requests().size();
        std::string body = cases[i].zipBody ? zip : std::string(5000, 'z');
        CRecorder recorder;
        CNetworkInterfaceABC* transfer = ReporterTransfer(recorder);
        ASSERT_TRUE(transfer != NULL);
        ASSERT_TRUE(transfer->Start(m_server.UploadUrl("case=1").c_str(), body.data(),
                                    static_cast<unsigned int>(body.size()), 0, 0));
        ASSERT_TRUE(WaitUntilFinished(transfer));
        EXPECT_TRUE(transfer->HasFailed());
        transfer->Release();
        EXPECT_EQ(cases[i].outcome, LastRequest().outcome);
        ASSERT_EQ(1u, recorder.m_ended.size());
        EXPECT_EQ(0, recorder.m_ended[0].succeeded);
        EXPECT_EQ(cases[i].status, recorder.m_ended[0].status);
        if (cases[i].status == 0)
        {
            EXPECT_NE(0, recorder.m_ended[0].error);
        }
    }
}

TEST_F(NetworkTransfer, NoServerOnThePortFails)
{
    char url[64];
    wsprintfA(url, "http://127.0.0.1:%d/dumpreport.asp?id=x", UnusedPort());
    std::string body = MakeZip(1000);
    CRecorder recorder;
    CNetworkInterfaceABC* transfer = Factory()(&recorder, 1, "", 0, "", "", 1);
    ASSERT_TRUE(transfer != NULL);
    transfer->SetOptions(2, 2000);
    ASSERT_TRUE(transfer->Start(url, body.data(), static_cast<unsigned int>(body.size()), 0, 0));
    ASSERT_TRUE(WaitUntilFinished(transfer));
    EXPECT_TRUE(transfer->HasFailed());
    transfer->Release();
    EXPECT_TRUE(recorder.m_progress.empty());
    ASSERT_EQ(1u, recorder.m_ended.size());
    EXPECT_EQ(0, recorder.m_ended[0].succeeded);
    EXPECT_EQ(0, recorder.m_ended[0].status);
    EXPECT_NE(0, recorder.m_ended[0].error);
}

TEST_F(NetworkTransfer, RefusesUrlsItCannotUse)
{
    const char* const urls[] = {NULL, "", "not a url", "ftp://127.0.0.1/dumpreport.asp", "http://",
                                "http:///dumpreport.asp", "://127.0.0.1/dumpreport.asp"};
    for (size_t i = 0; i < sizeof(urls) / sizeof(urls[0]); ++i)
    {
        SCOPED_TRACE(urls[i] != NULL ? urls[i] : "(null)");
        CRecorder recorder;
        CNetworkInterfaceABC* transfer = ReporterTransfer(recorder);
        ASSERT_TRUE(transfer != NULL);
        EXPECT_FALSE(transfer->Start(urls[i], "PK", 2, 0, 0));
        EXPECT_TRUE(transfer->IsFinished());
        EXPECT_TRUE(transfer->HasFailed());
        transfer->Release();
        EXPECT_TRUE(recorder.m_ended.empty()) << "a transfer that never started does not end";
    }
    EXPECT_EQ(m_before, m_server.Requests().size());
}

TEST_F(NetworkTransfer, ObjectsThatNeverStartedAreSafeToUseAndRelease)
{
    CRecorder recorder;
    Factory()(&recorder, 1, "", 0, "", "", 1)->Release();

    CNetworkInterfaceABC* transfer = ReporterTransfer(recorder);
    ASSERT_TRUE(transfer != NULL);
    EXPECT_FALSE(transfer->IsFinished());
    EXPECT_FALSE(transfer->HasFailed());
    transfer->Cancel();
    EXPECT_TRUE(transfer->IsFinished());
    EXPECT_TRUE(transfer->HasFailed());
    EXPECT_FALSE(transfer->Start(m_server.UploadUrl("id=late").c_str(), "PK", 2, 0, 0)) << "cancelled for good";
    transfer->Release();
    EXPECT_TRUE(recorder.m_ended.empty());
    EXPECT_EQ(m_before, m_server.Requests().size());
}

// The server reads the body slowly, so each of these stops a transfer in the middle.
class SlowNetworkTransfer : public NetworkTransfer
{
protected:
    virtual void SetUp()
    {
        NetworkTransfer::SetUp();
        m_server.SetMode("slow", 50, 16384);
        // Larger than what the sockets can buffer, so the body is still going out.
        m_body = MakeZip(16 * 1024 * 1024);
    }

    virtual void TearDown() { m_server.SetMode("normal"); }

    bool Start(CNetworkInterfaceABC* transfer)
    {
        return transfer->Start(m_server.UploadUrl(kQuery).c_str(), m_body.data(),
                               static_cast<unsigned int>(m_body.size()), 0, 0);
    }

    void ExpectIncompleteAtTheServer()
    {
        CReportServer::CRequest request = LastRequest();
        EXPECT_EQ("incomplete", request.outcome);
        EXPECT_LT(request.bytes, m_body.size());
    }

    std::string m_body;
};

TEST_F(SlowNetworkTransfer, CancelInTheMiddleOfTheBodyEndsTheTransfer)
{
    CRecorder recorder;
    CNetworkInterfaceABC* transfer = ReporterTransfer(recorder);
    ASSERT_TRUE(transfer != NULL);
    ASSERT_TRUE(Start(transfer));
    ASSERT_TRUE(recorder.WaitForProgress());
    EXPECT_FALSE(transfer->IsFinished());
    EXPECT_FALSE(transfer->HasFailed()) << "not while it runs";
    EXPECT_FALSE(transfer->SetAgentName("too late"));
    transfer->Cancel();
    EXPECT_TRUE(transfer->IsFinished());
    EXPECT_TRUE(transfer->HasFailed());
    transfer->Release();
    EXPECT_TRUE(recorder.m_ended.empty()) << "no notification after Cancel";
    EXPECT_LT(recorder.m_progress.back(), static_cast<int>(m_body.size()));
    ExpectIncompleteAtTheServer();
}

TEST_F(SlowNetworkTransfer, ProgressAnsweringFalseStopsTheTransfer)
{
    CRecorder recorder(false);
    CNetworkInterfaceABC* transfer = ReporterTransfer(recorder);
    ASSERT_TRUE(transfer != NULL);
    ASSERT_TRUE(Start(transfer));
    ASSERT_TRUE(WaitUntilFinished(transfer));
    EXPECT_TRUE(transfer->HasFailed());
    transfer->Release();
    EXPECT_EQ(1u, recorder.m_progress.size()) << "nothing more is sent after the false answer";
    ASSERT_EQ(1u, recorder.m_ended.size());
    EXPECT_EQ(0, recorder.m_ended[0].succeeded);
    EXPECT_EQ(ERROR_INTERNET_OPERATION_CANCELLED, recorder.m_ended[0].error);
    ExpectIncompleteAtTheServer();
}

TEST_F(SlowNetworkTransfer, ReleaseDuringTheTransferStopsIt)
{
    CRecorder recorder;
    CNetworkInterfaceABC* transfer = ReporterTransfer(recorder);
    ASSERT_TRUE(transfer != NULL);
    ASSERT_TRUE(Start(transfer));
    ASSERT_TRUE(recorder.WaitForProgress());
    transfer->Release();
    EXPECT_TRUE(recorder.m_ended.empty());
    ExpectIncompleteAtTheServer();
}

namespace
{
    LONG g_windowMessages;

    LRESULT CALLBACK CountingWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        if (message == WM_USER)
            InterlockedIncrement(&g_windowMessages);
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

// The reporter's notifications send messages to its dialog while its own
// thread waits in Release: Release must handle them, or both threads hang.
TEST_F(SlowNetworkTransfer, ReleaseHandlesMessagesThatNotificationsSend)
{
    WNDCLASSA windowClass = WNDCLASSA();
    windowClass.lpfnWndProc = CountingWindowProc;
    windowClass.hInstance = GetModuleHandleA(NULL);
    windowClass.lpszClassName = "NetworkTestWindow";
    RegisterClassA(&windowClass);
    HWND window = CreateWindowA("NetworkTestWindow", "", 0, 0, 0, 0, 0, HWND_MESSAGE, NULL, GetModuleHandleA(NULL),
                                NULL);
    ASSERT_TRUE(window != NULL);
    g_windowMessages = 0;

    CRecorder recorder(true, window);
    CNetworkInterfaceABC* transfer = ReporterTransfer(recorder);
    ASSERT_TRUE(transfer != NULL);
    ASSERT_TRUE(Start(transfer));
    // The library's thread is now waiting for this thread to take its message.
    ASSERT_TRUE(recorder.WaitForProgress());
    transfer->Cancel();
    transfer->Release();
    EXPECT_GE(g_windowMessages, 1);
    DestroyWindow(window);
    ExpectIncompleteAtTheServer();
}

TEST_F(NetworkTransfer, FactoryValuesChooseIdProxyHeadersAndProgress)
{
    std::string body = MakeZip(50000);
    // A host that only the proxy ever sees: nothing resolves it.
    const char url[] = "http://reports.invalid/dumpreport.asp?via=proxy";
    CRecorder recorder;
    CNetworkInterfaceABC* transfer =
        Factory()(&recorder, 7, "127.0.0.1", m_server.Port(), "application/zip", "X-Report-Test: yes\r\n", 0);
    ASSERT_TRUE(transfer != NULL);
    ASSERT_TRUE(transfer->Start(url, body.data(), static_cast<unsigned int>(body.size()), 0, 0));
    ASSERT_TRUE(WaitUntilFinished(transfer));
    EXPECT_FALSE(transfer->HasFailed());
    transfer->Release();

    CReportServer::CRequest request = LastRequest();
    ASSERT_EQ("stored", request.outcome);
    std::string headers = m_server.ReportFolder(request.number) + "headers.txt";
    // Through a proxy the request line holds the whole URL (Wine adds the default port).
    std::string path = RecordValue(headers, "path");
    EXPECT_TRUE(path == url || path == "http://reports.invalid:80/dumpreport.asp?via=proxy") << path;
    EXPECT_EQ("application/zip", RecordValue(headers, "header.content-type"));
    EXPECT_EQ("yes", RecordValue(headers, "header.x-report-test"));
    EXPECT_EQ("Network", RecordValue(headers, "header.user-agent"));
    EXPECT_TRUE(recorder.m_progress.empty()) << "progress was not asked for";
    ASSERT_EQ(1u, recorder.m_ended.size());
    EXPECT_EQ(7, recorder.m_ended[0].id);
    EXPECT_EQ(1, recorder.m_ended[0].succeeded);
}
