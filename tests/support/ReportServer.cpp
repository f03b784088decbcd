#include "tests/support/ReportServer.h"

#include "tests/support/TestFiles.h"

#include <stdio.h>
#include <stdlib.h>

CReportServer::CReportServer() : m_port(0)
{
    char folder[MAX_PATH];
    DWORD length = GetEnvironmentVariableA("VANTELO_REPORT_SERVER", folder, sizeof(folder));
    if (length == 0 || length >= sizeof(folder))
        return;
    m_folder.assign(folder, length);
    // The fixture passes the path with forward slashes, which survive the test scripts.
    for (size_t i = 0; i < m_folder.size(); ++i)
    {
        if (m_folder[i] == '/')
            m_folder[i] = '\\';
    }
    if (m_folder[m_folder.size() - 1] != '\\')
        m_folder += '\\';
    m_port = atoi(RecordValue(m_folder + "server.txt", "port").c_str());
}

std::string CReportServer::UploadUrl(const std::string& query) const
{
    char prefix[64];
    snprintf(prefix, sizeof(prefix), "http://127.0.0.1:%d/dumpreport.asp?", m_port);
    return prefix + query;
}

void CReportServer::SetMode(const std::string& mode, int delayMs, int pieceBytes) const
{
    char text[128];
    snprintf(text, sizeof(text), "mode=%s\ndelay=%d\npiece=%d\n", mode.c_str(), delayMs, pieceBytes);
    WriteTextFile(m_folder + "mode.txt", text);
}

std::vector<CReportServer::CRequest> CReportServer::Requests() const
{
    std::vector<CRequest> requests;
    std::string text = ReadTextFile(m_folder + "index.txt");
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
    {
        std::string line = text.substr(start, end - start);
        size_t tab1 = line.find('\t');
        size_t tab2 = tab1 == std::string::npos ? tab1 : line.find('\t', tab1 + 1);
        size_t tab3 = tab2 == std::string::npos ? tab2 : line.find('\t', tab2 + 1);
        if (tab3 == std::string::npos)
            continue;
        CRequest request;
        request.number = atoi(line.substr(0, tab1).c_str());
        request.outcome = line.substr(tab1 + 1, tab2 - tab1 - 1);
        request.bytes = strtoul(line.substr(tab2 + 1, tab3 - tab2 - 1).c_str(), NULL, 10);
        request.query = line.substr(tab3 + 1);
        requests.push_back(request);
    }
    return requests;
}

bool CReportServer::WaitForRequests(size_t count, DWORD timeoutMs) const
{
    DWORD start = GetTickCount();
    while (Requests().size() <= count)
    {
        if (GetTickCount() - start > timeoutMs)
            return false;
        Sleep(50);
    }
    return true;
}

std::string CReportServer::ReportFolder(int number) const
{
    char name[32];
    snprintf(name, sizeof(name), "reports\\%04d\\", number);
    return m_folder + name;
}
