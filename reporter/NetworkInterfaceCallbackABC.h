#ifndef REPORTER_NETWORKINTERFACECALLBACKABC_H
#define REPORTER_NETWORKINTERFACECALLBACKABC_H

// What the network library calls back while a transfer runs. The slot order
// is shared with the library and must not change. The calls may come from a
// thread of the library's own.
class CNetworkInterfaceCallbackABC
{
public:
    // The transfer has ended, successfully or not.
    virtual bool OnTransferEnded(int id, int succeeded, int status, int error) = 0;
    virtual bool OnTransferEndedEx(int id, int succeeded, int status, int error, int extra) = 0;
    virtual bool OnNotify(int id, int code, int value) = 0;
    virtual bool OnNotifyEx(int id, int code, int value, int extra) = 0;
    // bytesSoFar: the bytes of the body sent up to now. Answering false stops the transfer.
    virtual bool OnProgress(int id, int phase, int bytesTotal, int bytesSoFar) = 0;
    virtual ~CNetworkInterfaceCallbackABC() {}
};

#endif
