// Send: from the press of the button to the start of the upload.
#include "reporter/CrashReportManager.h"

#include "foundation/BaseException.h"
#include "foundation/FileSystem.h"
#include "reporter/LoadFileBytes.h"
#include "reporter/NetworkLibrary.h"
#include "reporter/ReporterResources.h"
#include "reporter/ZipWriter.h"
#include "xml/XMLLoader.h"
#include "xml/XMLNodeItr.h"

#include <winsock2.h>
#include <commctrl.h>
#include <string.h>

// The report server is a build setting; a build that names none talks to loopback.
#ifndef VANTELO_REPORT_HOST
#define VANTELO_REPORT_HOST "127.0.0.1"
#endif
#ifndef VANTELO_REPORT_ADDRESS
#define VANTELO_REPORT_ADDRESS "127.0.0.1"
#endif
#ifndef VANTELO_REPORT_PORT
#define VANTELO_REPORT_PORT 80
#endif

namespace
{
    const char kUrlFormat[] = "http://%s/dumpreport.asp?id=%s-%s&k=%s&e=%s&b=%s&v=%s&a=Vantelo&p=1&r=%s";
    const char kAgentName[] = "Vantelo Crash Reporter";
    const int kCompressionLevel = 9;
    const UINT kPollPeriodMs = 100;
    const int kConnectAttempts = 10;
    const DWORD kConnectPauseMs = 2000;
    const int kLeafSize = 256;

    const char kServerHost[] = VANTELO_REPORT_HOST;
    const char kServerAddress[] = VANTELO_REPORT_ADDRESS;
    const unsigned short kServerPort = VANTELO_REPORT_PORT;

}

void CCrashReportManager::SendReport(HWND dialog)
{
    m_dialog = dialog;
    // Nothing to send: say that nothing was sent.
    if (m_crashFolder.IsEmpty() || !FileExists(m_crashFolder))
    {
        ShowCancelledMessage();
        return;
    }
    m_busy = true;
    m_cancelRequested = false;
    m_transferEnded = false;

    // Full while the report is prepared.
    HWND progress = GetDlgItem(dialog, IDC_PROGRESS);
    SendMessageA(progress, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
    SendMessageA(progress, PBM_SETPOS, 100, 0);
    SetWindowTextA(GetDlgItem(dialog, IDC_ACTION), "Stop");

    m_archivePath = m_crashFolder + ".zip";
    if (FileExists(m_archivePath))
        DeleteFileA(m_archivePath);

    CSmallString key;
    CSmallString em;
    CSmallString build;
    CSmallString ver;
    ReadCrashDescription(key, em, build, ver);
    UrlEscape(em);
    UrlEscape(build);
    UrlEscape(ver);

    CSmallString description;
    GetWindowString(GetDlgItem(dialog, IDC_DESCRIPTION), description);
    description.Trim();
    UrlEscape(description);

    LockDescriptionBox();
    WarmUpConnection();

    Container::CArray<unsigned char> bytes;
    if (!PrepareArchive(bytes))
    {
        ShowCancelledMessage();
        return;
    }
    m_archiveSize = bytes.GetSize();
    SendMessageA(progress, PBM_SETRANGE32, 0, static_cast<LPARAM>(m_archiveSize));
    SendMessageA(progress, PBM_SETPOS, 0, 0);

    // A transfer object left from an earlier Send goes first.
    StopTransfer();
    StartUpload(key, em, build, ver, description, bytes);
}

void CCrashReportManager::ReadCrashDescription(CSmallString& key, CSmallString& em, CSmallString& build,
                                               CSmallString& ver) const
{
    CRefCount::CPtr<TQXML::CXMLNode> document;
    if (!TQXML::LoadFile(m_crashFolder + "\\crashinfo.dat", document, TQXML::ReturnFalseOnError) ||
        document.IsNull())
        return;
    TQXML::CXMLNode* crash = document->FindChild("crash");
    if (crash == NULL)
        return;
    for (TQXML::CXMLNodeItr child(crash); child.IsValid(); child.Next())
    {
        const CSmallString& name = child.Current()->GetName();
        CSmallString* value = NULL;
        if (name.CompareNoCase("key") == 0)
            value = &key;
        else if (name.CompareNoCase("em") == 0)
            value = &em;
        else if (name.CompareNoCase("build") == 0)
            value = &build;
        else if (name.CompareNoCase("ver") == 0)
            value = &ver;
        if (value != NULL)
        {
            *value = child.Current()->GetText();
            value->Trim();
        }
    }
}

void CCrashReportManager::LockDescriptionBox() const
{
    HWND box = GetDlgItem(m_dialog, IDC_DESCRIPTION);
    SendMessageA(box, EM_SETREADONLY, TRUE, 0);
    EnableWindow(box, FALSE);
    // The dialog handles no message until the upload has started: paint the grey now.
    UpdateWindow(box);
    RedrawWindow(box, NULL, NULL, RDW_INVALIDATE | RDW_UPDATENOW);
}

bool CCrashReportManager::PrepareArchive(Container::CArray<unsigned char>& bytes)
{
    CZipWriter writer(&m_cancelRequested);
    // When the archive cannot be created, an older one that survived the
    // deletion must not go out in its place.
    bool packed = writer.Open(m_archivePath, false) && writer.AddFolder(m_crashFolder, kCompressionLevel, true);
    // Closed before anything can try to delete it; a failed close leaves an
    // archive without its directory.
    bool closed = writer.Close();
    return packed && closed && LoadFileBytes(m_archivePath, bytes);
}

void CCrashReportManager::StartUpload(const CSmallString& key, const CSmallString& em, const CSmallString& build,
                                      const CSmallString& ver, const CSmallString& description,
                                      const Container::CArray<unsigned char>& bytes)
{
    try
    {
        CreateNetworkInterfaceProc factory = CNetworkLibrary::GetFactory();
        m_transfer = factory != NULL ? factory(this, 1, "", 0, "", "", 1) : NULL;
        if (m_transfer == NULL)
            return;
        m_transfer->SetOptions(5, 6000);
        m_transfer->SetAgentName(kAgentName);

        char leaf[kLeafSize];
        GetLeafName(leaf, sizeof(leaf));
        CSmallString url;
        url.Format(kUrlFormat, static_cast<const char*>(GetServerAuthority()), static_cast<const char*>(key), leaf,
                   static_cast<const char*>(key), static_cast<const char*>(em), static_cast<const char*>(build),
                   static_cast<const char*>(ver), static_cast<const char*>(description));
        m_transfer->Start(url, bytes.GetData(), m_archiveSize, 0, 0);

        KillPollTimer();
        m_timerId = SetTimer(m_dialog, IDT_POLL, kPollPeriodMs, NULL);
    }
    catch (CBaseException* exception)
    {
        // The upload did not start; a transfer object already made stays
        // until the dialog's end stops and releases it.
        exception->Dispose();
    }
}

CSmallString CCrashReportManager::GetServerAuthority()
{
    CSmallString authority;
    if (kServerPort == 80)
        authority = kServerHost;
    else
        authority.Format("%s:%u", kServerHost, static_cast<unsigned int>(kServerPort));
    return authority;
}

void CCrashReportManager::GetLeafName(char* leaf, int size) const
{
    const char* path = m_archivePath;
    const char* name = path;
    for (const char* p = path; *p != '\0'; p = CharNextA(p))
    {
        if (*p == '\\' || *p == '/')
            name = p + 1;
    }
    const char* end = NULL;
    for (const char* p = name; *p != '\0'; p = CharNextA(p))
    {
        if (*p == '.')
            end = p;
    }
    if (end == NULL)
        end = name + lstrlenA(name);
    int length = static_cast<int>(end - name);
    if (length > size - 1)
        length = size - 1;
    memcpy(leaf, name, length);
    leaf[length] = '\0';
}

void CCrashReportManager::UrlEscape(CSmallString& text)
{
    static const char kHexDigits[] = "0123456789abcdef";
    Container::CArray<char> escaped;
    const char* bytes = text;
    int length = text.GetLength();
    for (int i = 0; i < length; ++i)
    {
        unsigned char c = static_cast<unsigned char>(bytes[i]);
        if ((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'))
        {
            escaped.Add(static_cast<char>(c));
        }
        else
        {
            escaped.Add('%');
            escaped.Add(kHexDigits[c >> 4]);
            escaped.Add(kHexDigits[c & 0x0F]);
        }
    }
    escaped.Add('\0');
    text = escaped.GetData();
}

void CCrashReportManager::GetWindowString(HWND window, CSmallString& text)
{
    int length = GetWindowTextLengthA(window);
    if (length < 0)
        length = 0;
    Container::CArray<char> buffer(static_cast<unsigned int>(length) + 1, true);
    GetWindowTextA(window, buffer.GetData(), static_cast<int>(buffer.GetSize()));
    text = buffer.GetData();
}

void CCrashReportManager::WarmUpConnection()
{
    WSADATA data;
    if (WSAStartup(0x0002, &data) != 0)
        return;
    SOCKET connection = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (connection != INVALID_SOCKET)
    {
        sockaddr_in address;
        memset(&address, 0, sizeof(address));
        address.sin_family = AF_INET;
        address.sin_port = htons(kServerPort);
        address.sin_addr.s_addr = inet_addr(kServerAddress);
        for (int attempt = 0; attempt < kConnectAttempts; ++attempt)
        {
            if (connect(connection, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0)
                break;
            Sleep(kConnectPauseMs);
        }
        closesocket(connection);
    }
    WSACleanup();
}
