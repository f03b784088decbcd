#ifndef TESTS_SUPPORT_REPORTSERVER_H
#define TESTS_SUPPORT_REPORTSERVER_H

#include <windows.h>

#include <string>
#include <vector>

// The report receiving server (tests/tools/report_server.py) that the ctest
// fixture "report_server" starts: where it listens, how to steer it, and what
// it stored. The fixture names the server's folder in VANTELO_REPORT_SERVER.
class CReportServer
{
public:
    // One POST that the server handled, as its index notes it.
    struct CRequest
    {
        int number;
        // stored, fail500, not-zip, incomplete, dropped, too-large or no-length.
        std::string outcome;
        unsigned long bytes;
        std::string query;
    };

    CReportServer();

    // False when the test runs without the fixture or the server has ended.
    bool IsAvailable() const { return m_port != 0; }
    // The server's folder, ending in a backslash.
    const std::string& Folder() const { return m_folder; }
    int Port() const { return m_port; }
    // "http://127.0.0.1:<port>/dumpreport.asp?" followed by the query.
    std::string UploadUrl(const std::string& query) const;

    // Mode of the requests to come: "normal", "slow" (the body is read in
    // pieces of pieceBytes with delayMs after each), "fail500" or "drop".
    void SetMode(const std::string& mode, int delayMs = 50, int pieceBytes = 4096) const;
    std::vector<CRequest> Requests() const;
    // Waits until the server has handled more than count requests; false on time-out.
    bool WaitForRequests(size_t count, DWORD timeoutMs) const;
    // The folder of a stored report, with query.txt, headers.txt and report.zip.
    std::string ReportFolder(int number) const;

private:
    std::string m_folder;
    int m_port;
};

#endif
