// The library's one export (ordinal 1): see NetworkTransfer.h for what the
// arguments mean.
#include "outside/network/NetworkTransfer.h"

extern "C" CNetworkInterfaceABC* WINAPI CreateNetworkInterface(CNetworkInterfaceCallbackABC* callback, int id,
                                                               const char* proxy, int proxyPort,
                                                               const char* contentType, const char* extraHeaders,
                                                               int reportProgress)
{
    if (callback == NULL)
        return NULL;
    return new CNetworkTransfer(callback, id, proxy, proxyPort, contentType, extraHeaders, reportProgress != 0);
}
