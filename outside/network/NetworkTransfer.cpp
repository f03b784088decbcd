#include "outside/network/NetworkTransfer.h"

namespace
{
    const DWORD kPieceSize = 16384;
    const DWORD kRetryPauseMs = 250;
    const DWORD kDefaultTimeoutMs = 30000;
    const int kMaxAttempts = 100;
    const char kDefaultAgent[] = "Network";
    const char kDefaultContentType[] = "application/octet-stream";

    void* Allocate(SIZE_T size)
    {
        return HeapAlloc(GetProcessHeap(), 0, size == 0 ? 1 : size);
    }

    void FreeMemory(void* block)
    {
        if (block != NULL)
            HeapFree(GetProcessHeap(), 0, block);
    }

    const char* TextOrEmpty(const char* text)
    {
        return text != NULL ? text : "";
    }

    // Joins up to three pieces into a new zero-terminated text; null when out of memory.
    char* JoinText(const char* first, SIZE_T firstLength, const char* second = "", const char* third = "")
    {
        SIZE_T secondLength = lstrlenA(second);
        SIZE_T thirdLength = lstrlenA(third);
        char* text = static_cast<char*>(Allocate(firstLength + secondLength + thirdLength + 1));
        if (text == NULL)
            return NULL;
        CopyMemory(text, first, firstLength);
        CopyMemory(text + firstLength, second, secondLength);
        CopyMemory(text + firstLength + secondLength, third, thirdLength);
        text[firstLength + secondLength + thirdLength] = '\0';
        return text;
    }

    char* CopyText(const char* text)
    {
        return JoinText(text, lstrlenA(text));
    }
}

CNetworkTransfer::CNetworkTransfer(CNetworkInterfaceCallbackABC* callback, int id, const char* proxy, int proxyPort,
                                   const char* contentType, const char* extraHeaders, bool reportProgress)
    : m_callback(callback), m_id(id), m_reportProgress(reportProgress), m_proxy(NULL), m_headers(NULL),
      m_agent(CopyText(kDefaultAgent)), m_attempts(1), m_timeoutMs(kDefaultTimeoutMs), m_host(NULL), m_path(NULL),
      m_port(0), m_secure(false), m_body(NULL), m_size(0), m_thread(NULL),
      m_cancelEvent(CreateEventA(NULL, TRUE, FALSE, NULL)), m_internet(NULL), m_connection(NULL), m_request(NULL),
      m_state(kIdle), m_cancelled(0)
{
    InitializeCriticalSection(&m_lock);
    proxy = TextOrEmpty(proxy);
    if (*proxy != '\0')
    {
        char port[16] = "";
        if (proxyPort > 0 && proxyPort <= 65535)
            wsprintfA(port, ":%d", proxyPort);
        m_proxy = JoinText(proxy, lstrlenA(proxy), port);
    }
    contentType = TextOrEmpty(contentType);
    if (*contentType == '\0')
        contentType = kDefaultContentType;
    const char prefix[] = "Content-Type: ";
    char* typeLine = JoinText(prefix, sizeof(prefix) - 1, contentType, "\r\n");
    if (typeLine != NULL)
        m_headers = JoinText(typeLine, lstrlenA(typeLine), TextOrEmpty(extraHeaders));
    FreeMemory(typeLine);
}

CNetworkTransfer::~CNetworkTransfer()
{
    CloseHandles();
    if (m_thread != NULL)
        CloseHandle(m_thread);
    if (m_cancelEvent != NULL)
        CloseHandle(m_cancelEvent);
    DeleteCriticalSection(&m_lock);
    FreeMemory(m_proxy);
    FreeMemory(m_headers);
    FreeMemory(m_agent);
    FreeMemory(m_host);
    FreeMemory(m_path);
    FreeMemory(m_body);
}

bool CNetworkTransfer::IsFinished()
{
    LONG state = m_state;
    return state == kSucceeded || state == kFailed;
}

int CNetworkTransfer::Reserved1()
{
    return 0;
}

int CNetworkTransfer::Reserved2()
{
    return 0;
}

int CNetworkTransfer::Reserved8()
{
    return 0;
}

bool CNetworkTransfer::HasFailed()
{
    return m_state == kFailed;
}

bool CNetworkTransfer::SetOptions(int attempts, int timeoutMs)
{
    if (m_state != kIdle)
        return false;
    m_attempts = attempts < 1 ? 1 : (attempts > kMaxAttempts ? kMaxAttempts : attempts);
    m_timeoutMs = timeoutMs > 0 ? static_cast<DWORD>(timeoutMs) : kDefaultTimeoutMs;
    return true;
}

bool CNetworkTransfer::SetAgentName(const char* agent)
{
    if (m_state != kIdle)
        return false;
    char* copy = CopyText(agent != NULL && *agent != '\0' ? agent : kDefaultAgent);
    if (copy == NULL)
        return false;
    FreeMemory(m_agent);
    m_agent = copy;
    return true;
}

bool CNetworkTransfer::Start(const char* url, const void* body, unsigned int size, int, int)
{
    if (InterlockedCompareExchange(&m_state, kRunning, kIdle) != kIdle)
        return false;
    if (m_cancelEvent == NULL || m_headers == NULL || m_agent == NULL || !PrepareRequest(url, body, size))
    {
        InterlockedExchange(&m_state, kFailed);
        return false;
    }
    DWORD threadId = 0;
    m_thread = CreateThread(NULL, 0, ThreadMain, this, 0, &threadId);
    if (m_thread == NULL)
    {
        InterlockedExchange(&m_state, kFailed);
        return false;
    }
    return true;
}

bool CNetworkTransfer::PrepareRequest(const char* url, const void* body, unsigned int size)
{
    if (url == NULL || (body == NULL && size > 0))
        return false;
    URL_COMPONENTSA parts;
    ZeroMemory(&parts, sizeof(parts));
    parts.dwStructSize = sizeof(parts);
    // Lengths without buffers: the parts are answered as pointers into url.
    parts.dwHostNameLength = 1;
    parts.dwUrlPathLength = 1;
    parts.dwExtraInfoLength = 1;
    if (!InternetCrackUrlA(url, 0, 0, &parts))
        return false;
    if ((parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS) ||
        parts.lpszHostName == NULL || parts.dwHostNameLength == 0)
        return false;
    m_secure = parts.nScheme == INTERNET_SCHEME_HTTPS;
    m_port = parts.nPort;
    m_host = JoinText(parts.lpszHostName, parts.dwHostNameLength);

    const char* path = parts.dwUrlPathLength > 0 ? parts.lpszUrlPath : "/";
    SIZE_T pathLength = parts.dwUrlPathLength > 0 ? parts.dwUrlPathLength : 1;
    const char* extra = parts.dwExtraInfoLength > 0 ? parts.lpszExtraInfo : "";
    SIZE_T extraLength = parts.dwExtraInfoLength;
    // A fragment is not sent.
    for (SIZE_T i = 0; i < extraLength; ++i)
    {
        if (extra[i] == '#')
        {
            extraLength = i;
            break;
        }
    }
    char* pathPart = JoinText(path, pathLength);
    if (pathPart != NULL)
    {
        char* extraPart = JoinText(extra, extraLength);
        if (extraPart != NULL)
            m_path = JoinText(pathPart, pathLength, extraPart);
        FreeMemory(extraPart);
    }
    FreeMemory(pathPart);

    m_body = static_cast<BYTE*>(Allocate(size));
    if (m_host == NULL || m_path == NULL || m_body == NULL)
        return false;
    if (size > 0)
        CopyMemory(m_body, body, size);
    m_size = size;
    return true;
}

void CNetworkTransfer::Cancel()
{
    InterlockedExchange(&m_cancelled, 1);
    InterlockedCompareExchange(&m_state, kFailed, kRunning);
    InterlockedCompareExchange(&m_state, kFailed, kIdle);
    if (m_cancelEvent != NULL)
        SetEvent(m_cancelEvent);
    // Closing the handles breaks off a call that the thread is blocked in.
    CloseHandles();
}

void CNetworkTransfer::Release()
{
    Cancel();
    WaitForThread();
    delete this;
}

void CNetworkTransfer::WaitForThread()
{
    if (m_thread == NULL)
        return;
    // The notifications may send messages to windows of this thread: keep
    // handling those while waiting, or the two threads would wait for each other.
    for (;;)
    {
        DWORD result = MsgWaitForMultipleObjects(1, &m_thread, FALSE, INFINITE, QS_SENDMESSAGE);
        if (result == WAIT_OBJECT_0 + 1)
        {
            MSG message;
            PeekMessageA(&message, NULL, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
            continue;
        }
        if (result != WAIT_OBJECT_0)
            WaitForSingleObject(m_thread, INFINITE);
        break;
    }
}

bool CNetworkTransfer::IsCancelled() const
{
    return m_cancelled != 0;
}

bool CNetworkTransfer::KeepHandle(HINTERNET& slot, HINTERNET handle)
{
    EnterCriticalSection(&m_lock);
    bool kept = !IsCancelled();
    if (kept)
        slot = handle;
    LeaveCriticalSection(&m_lock);
    if (!kept)
        InternetCloseHandle(handle);
    return kept;
}

void CNetworkTransfer::CloseHandleSlot(HINTERNET& slot)
{
    EnterCriticalSection(&m_lock);
    HINTERNET handle = slot;
    slot = NULL;
    LeaveCriticalSection(&m_lock);
    if (handle != NULL)
        InternetCloseHandle(handle);
}

void CNetworkTransfer::CloseHandles()
{
    CloseHandleSlot(m_request);
    CloseHandleSlot(m_connection);
    CloseHandleSlot(m_internet);
}

DWORD WINAPI CNetworkTransfer::ThreadMain(void* self)
{
    static_cast<CNetworkTransfer*>(self)->Run();
    return 0;
}

void CNetworkTransfer::Run()
{
    DWORD status = 0;
    DWORD error = 0;
    EAttempt attempt = kNoConnection;
    HINTERNET internet = InternetOpenA(m_agent, m_proxy != NULL ? INTERNET_OPEN_TYPE_PROXY : INTERNET_OPEN_TYPE_DIRECT,
                                       m_proxy, NULL, 0);
    if (internet == NULL)
    {
        error = GetLastError();
        attempt = kBroken;
    }
    else if (!KeepHandle(m_internet, internet))
    {
        attempt = kStopped;
    }
    else
    {
        InternetSetOptionA(internet, INTERNET_OPTION_CONNECT_TIMEOUT, &m_timeoutMs, sizeof(m_timeoutMs));
        InternetSetOptionA(internet, INTERNET_OPTION_SEND_TIMEOUT, &m_timeoutMs, sizeof(m_timeoutMs));
        InternetSetOptionA(internet, INTERNET_OPTION_RECEIVE_TIMEOUT, &m_timeoutMs, sizeof(m_timeoutMs));
        for (int i = 0; i < m_attempts && attempt == kNoConnection; ++i)
        {
            if (i > 0 && WaitForSingleObject(m_cancelEvent, kRetryPauseMs) == WAIT_OBJECT_0)
                attempt = kStopped;
            else
                attempt = SendOnce(internet, status, error);
        }
    }
    CloseHandles();

    bool succeeded = attempt == kAnswered && status >= 200 && status < 300;
    if (IsCancelled())
        return;
    // Cancel may come at the same moment: whichever changes the state first decides.
    if (InterlockedCompareExchange(&m_state, succeeded ? kSucceeded : kFailed, kRunning) == kRunning)
        m_callback->OnTransferEnded(m_id, succeeded ? 1 : 0, static_cast<int>(status), static_cast<int>(error));
}

CNetworkTransfer::EAttempt CNetworkTransfer::SendOnce(HINTERNET internet, DWORD& status, DWORD& error)
{
    HINTERNET connection = InternetConnectA(internet, m_host, m_port, NULL, NULL, INTERNET_SERVICE_HTTP, 0, 0);
    if (connection == NULL)
    {
        error = GetLastError();
        return IsCancelled() ? kStopped : kBroken;
    }
    if (!KeepHandle(m_connection, connection))
        return kStopped;
    DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_PRAGMA_NOCACHE |
                  INTERNET_FLAG_NO_COOKIES | INTERNET_FLAG_NO_UI | INTERNET_FLAG_NO_AUTO_REDIRECT;
    if (m_secure)
        flags |= INTERNET_FLAG_SECURE;
    HINTERNET request = HttpOpenRequestA(connection, "POST", m_path, NULL, NULL, NULL, flags, 0);
    if (request == NULL)
    {
        error = GetLastError();
        return IsCancelled() ? kStopped : kBroken;
    }
    if (!KeepHandle(m_request, request))
        return kStopped;

    EAttempt outcome = kAnswered;
    INTERNET_BUFFERSA buffers;
    ZeroMemory(&buffers, sizeof(buffers));
    buffers.dwStructSize = sizeof(buffers);
    buffers.lpcszHeader = m_headers;
    buffers.dwHeadersLength = lstrlenA(m_headers);
    buffers.dwBufferTotal = m_size;
    if (!HttpSendRequestExA(request, &buffers, NULL, 0, 0))
    {
        error = GetLastError();
        outcome = kNoConnection;
    }
    DWORD sent = 0;
    while (outcome == kAnswered && sent < m_size)
    {
        if (IsCancelled())
        {
            outcome = kStopped;
            break;
        }
        DWORD piece = m_size - sent < kPieceSize ? m_size - sent : kPieceSize;
        DWORD written = 0;
        if (!InternetWriteFile(request, m_body + sent, piece, &written) || written == 0)
        {
            error = GetLastError();
            outcome = kBroken;
            break;
        }
        sent += written;
        if (m_reportProgress && !IsCancelled() &&
            !m_callback->OnProgress(m_id, 1, static_cast<int>(m_size), static_cast<int>(sent)))
        {
            error = ERROR_INTERNET_OPERATION_CANCELLED;
            outcome = kBroken;
        }
    }
    if (outcome == kAnswered && !HttpEndRequestA(request, NULL, 0, 0))
    {
        error = GetLastError();
        outcome = kBroken;
    }
    DWORD length = sizeof(status);
    if (outcome == kAnswered &&
        !HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &length, NULL))
    {
        error = GetLastError();
        outcome = kBroken;
    }
    // A connection closed without an answer can leave no status at all.
    if (outcome == kAnswered && status < 100)
    {
        error = ERROR_HTTP_INVALID_SERVER_RESPONSE;
        outcome = kBroken;
    }
    CloseHandleSlot(m_request);
    CloseHandleSlot(m_connection);
    if (outcome != kAnswered && IsCancelled())
        return kStopped;
    return outcome;
}
