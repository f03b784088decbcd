#ifndef REPORTER_NETWORKINTERFACEABC_H
#define REPORTER_NETWORKINTERFACEABC_H

#include <windows.h>

class CNetworkInterfaceCallbackABC;

// One upload done by the network library "Network.dll". The slot order is
// shared with the library and must not change; the reserved slots keep the
// places of operations that the reporter does not use.
class CNetworkInterfaceABC
{
public:
    // True once the transfer has ended in any way, also after Cancel.
    virtual bool IsFinished() = 0;
    virtual int Reserved1() = 0;
    virtual int Reserved2() = 0;
    // Starts sending body to url and returns at once. The object keeps copies
    // of both, so the caller may free them right after the call.
    virtual bool Start(const char* url, const void* body, unsigned int size, int reserved1, int reserved2) = 0;
    // True when the transfer failed or was stopped; false while it runs and after success.
    virtual bool HasFailed() = 0;
    virtual void Cancel() = 0;
    virtual bool SetOptions(int attempts, int timeoutMs) = 0;
    virtual bool SetAgentName(const char* agent) = 0;
    virtual int Reserved8() = 0;
    // Stops the transfer if it still runs and destroys the object.
    virtual void Release() = 0;

protected:
    // Only Release destroys.
    ~CNetworkInterfaceABC() {}
};

// The library's export by ordinal 1. Answers null when no transfer object can be made.
typedef CNetworkInterfaceABC*(WINAPI* CreateNetworkInterfaceProc)(CNetworkInterfaceCallbackABC* callback, int id,
                                                                  const char* proxy, int proxyPort,
                                                                  const char* contentType,
                                                                  const char* extraHeaders, int reportProgress);

extern "C" CNetworkInterfaceABC* WINAPI CreateNetworkInterface(CNetworkInterfaceCallbackABC* callback, int id,
                                                               const char* proxy, int proxyPort,
                                                               const char* contentType, const char* extraHeaders,
                                                               int reportProgress);

#endif
