#ifndef OUTSIDE_NETWORK_NETWORKTRANSFER_H
#define OUTSIDE_NETWORK_NETWORKTRANSFER_H

// Stand-in for the maker's network library "Network.dll": a real HTTP upload
// with WinINet, so that the reporter runs end to end against a local server.
//
// Factory (ordinal 1), as the reporter calls it: (callback, 1, "", 0, "", "", 1)
//   id             handed back as the first argument of every notification
//   proxy, port    proxy server host and port; an empty host means a direct
//                  connection, port 0 the proxy's default port
//   contentType    Content-Type of the body; empty means "application/octet-stream"
//   extraHeaders   further request headers, "Name: value\r\n" each; empty means none
//   reportProgress nonzero: OnProgress is called after each piece of the body
//
// SetOptions(attempts, timeoutMs), as the reporter calls it: (5, 6000)
//   attempts       how often the request is tried when no connection can be
//                  made; a failure after the body has begun is not retried
//   timeoutMs      time-out of connecting, of sending and of waiting for the answer
//   Before SetOptions: 1 attempt, 30000 ms.
// SetAgentName sets the User-Agent header (default "Network").
// SetOptions and SetAgentName take effect only before Start, and answer false after it.
//
// The upload is a POST of the body to the URL, in pieces of 16 KiB, on a
// thread of the object's own. Notifications:
//   OnProgress(id, 1, bodySize, bytesSentSoFar): answering false stops the transfer.
//   OnTransferEnded(id, succeeded, httpStatus, error): once for every transfer
//     that Start started and that Cancel did not stop; httpStatus is 0 when
//     no answer came, error the Windows error code or 0.
//   OnTransferEndedEx, OnNotify and OnNotifyEx are never called.
// An HTTP status other than 2xx is a failure; redirections are not followed.
// Start's two last arguments are reserved and ignored.
//
// Cancel stops the transfer at once as far as the caller can see: IsFinished
// and HasFailed answer true, no notification follows, and the connection is
// closed. Release (not from inside a notification) stops a running transfer,
// waits for the thread while still handling messages sent to the caller's
// windows, and deletes the object.
#include "reporter/NetworkInterfaceABC.h"
#include "reporter/NetworkInterfaceCallbackABC.h"

#include <wininet.h>

// Final: Release deletes it through its own type, with no virtual destructor in the slots.
class CNetworkTransfer final : public CNetworkInterfaceABC
{
public:
    // Null strings count as empty ones.
    CNetworkTransfer(CNetworkInterfaceCallbackABC* callback, int id, const char* proxy, int proxyPort,
                     const char* contentType, const char* extraHeaders, bool reportProgress);

    virtual bool IsFinished();
    virtual int Reserved1();
    virtual int Reserved2();
    // Answers false when the URL is not an http or https URL with a host, when
    // the transfer cannot start, or when this object was started or cancelled
    // before; the transfer has then failed.
    virtual bool Start(const char* url, const void* body, unsigned int size, int reserved1, int reserved2);
    virtual bool HasFailed();
    virtual void Cancel();
    virtual bool SetOptions(int attempts, int timeoutMs);
    virtual bool SetAgentName(const char* agent);
    virtual int Reserved8();
    virtual void Release();

private:
    enum EState
    {
        kIdle,
        kRunning,
        kSucceeded,
        kFailed
    };
    enum EAttempt
    {
        kAnswered,
        kNoConnection,
        kBroken,
        kStopped
    };

    ~CNetworkTransfer();
    CNetworkTransfer(const CNetworkTransfer&);
    CNetworkTransfer& operator=(const CNetworkTransfer&);

    bool PrepareRequest(const char* url, const void* body, unsigned int size);
    static DWORD WINAPI ThreadMain(void* self);
    void Run();
    EAttempt SendOnce(HINTERNET internet, DWORD& status, DWORD& error);
    bool IsCancelled() const;
    // Stores a new handle where Cancel can close it; closes it instead and
    // answers false when Cancel has already run.
    bool KeepHandle(HINTERNET& slot, HINTERNET handle);
    void CloseHandleSlot(HINTERNET& slot);
    void CloseHandles();
    void WaitForThread();

    CNetworkInterfaceCallbackABC* m_callback;
    int m_id;
    bool m_reportProgress;
    char* m_proxy;
    char* m_headers;
    char* m_agent;
    int m_attempts;
    DWORD m_timeoutMs;

    char* m_host;
    char* m_path;
    INTERNET_PORT m_port;
    bool m_secure;
    BYTE* m_body;
    DWORD m_size;

    HANDLE m_thread;
    HANDLE m_cancelEvent;
    CRITICAL_SECTION m_lock;
    HINTERNET m_internet;
    HINTERNET m_connection;
    HINTERNET m_request;
    volatile LONG m_state;
    volatile LONG m_cancelled;
};

#endif
