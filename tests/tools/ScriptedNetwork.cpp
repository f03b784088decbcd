// A "Network.dll" for the reporter's contract tests: its transfer object
// behaves as the environment variable VANTELO_NETWORK_SCRIPT says and notes
// every call it receives, one line each, in the file that
// VANTELO_NETWORK_RECORD names. The body given to Start is written beside
// the record, with ".body" appended to its name.
//
// Scripts:
//   succeed          Start reports progress in four pieces from a thread of its
//                    own, then OnTransferEnded; the transfer has succeeded.
//   fail-unfinished  after Start, HasFailed answers true while IsFinished
//                    answers false until Cancel.
//   null             the factory answers null.
//   raise-factory    the factory raises a CBaseException*.
//   raise-start      Start raises a CBaseException*.
//   progress-stop    a thread reports progress until Cancel, then three more
//                    times (noting each answer), then the transfer has failed.
//   slow-finish      the upload runs until Cancel; after it IsFinished answers
//                    false three times before it answers true.
// The exceptions note "exception-destroyed" when their destructor runs.
#include "foundation/BaseException.h"
#include "reporter/NetworkInterfaceABC.h"
#include "reporter/NetworkInterfaceCallbackABC.h"

#include <windows.h>

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

namespace
{
    CRITICAL_SECTION g_recordLock;

    struct SRecordLock
    {
        SRecordLock() { InitializeCriticalSection(&g_recordLock); }
        ~SRecordLock() { DeleteCriticalSection(&g_recordLock); }
    } g_recordLockOwner;

    bool GetSetting(const char* name, char* value, DWORD size)
    {
        DWORD length = GetEnvironmentVariableA(name, value, size);
        if (length == 0 || length >= size)
        {
            value[0] = '\0';
            return false;
        }
        return true;
    }

    void AppendToFile(const char* path, const void* bytes, DWORD size)
    {
        HANDLE file = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, NULL);
        if (file == INVALID_HANDLE_VALUE)
            return;
        DWORD written = 0;
        WriteFile(file, bytes, size, &written, NULL);
        CloseHandle(file);
    }

    // Appends one line to the record, from whichever thread.
    void Note(const char* format, ...)
    {
        char path[MAX_PATH];
        if (!GetSetting("VANTELO_NETWORK_RECORD", path, sizeof(path)))
            return;
        char line[8192];
        va_list arguments;
        va_start(arguments, format);
        int length = vsnprintf(line, sizeof(line) - 1, format, arguments);
        va_end(arguments);
        if (length < 0 || length > static_cast<int>(sizeof(line)) - 2)
            length = static_cast<int>(sizeof(line)) - 2;
        line[length] = '\n';
        EnterCriticalSection(&g_recordLock);
        AppendToFile(path, line, static_cast<DWORD>(length + 1));
        LeaveCriticalSection(&g_recordLock);
    }

    void SaveBody(const void* body, unsigned int size)
    {
        char path[MAX_PATH];
        if (!GetSetting("VANTELO_NETWORK_RECORD", path, sizeof(path) - 5))
            return;
        strcat(path, ".body");
        DeleteFileA(path);
        AppendToFile(path, body, size);
    }

    bool IsScript(const char* name)
    {
        char script[64];
        GetSetting("VANTELO_NETWORK_SCRIPT", script, sizeof(script));
        return strcmp(script, name) == 0;
    }

    class CScriptException : public CBaseException
    {
    public:
        CScriptException() : CBaseException(ConnectionFailure) {}
        virtual ~CScriptException() { Note("exception-destroyed"); }
    };

    class CScriptedTransfer final : public CNetworkInterfaceABC
    {
    public:
        explicit CScriptedTransfer(CNetworkInterfaceCallbackABC* callback)
            : m_callback(callback), m_thread(NULL), m_cancelEvent(CreateEventA(NULL, TRUE, FALSE, NULL)),
              m_started(0), m_cancelled(0), m_finished(0), m_failed(0), m_finishedAsksAfterCancel(0), m_size(0)
        {
        }

        virtual bool IsFinished()
        {
            bool finished = m_finished != 0;
            if (!finished && m_cancelled != 0 && IsScript("slow-finish"))
                finished = ++m_finishedAsksAfterCancel > 3;
            if (finished)
                InterlockedExchange(&m_finished, 1);
            Note("IsFinished %s", finished ? "true" : "false");
            return finished;
        }

        virtual int Reserved1()
        {
            Note("Reserved1");
            return 0;
        }

        virtual int Reserved2()
        {
            Note("Reserved2");
            return 0;
        }

        virtual bool Start(const char* url, const void* body, unsigned int size, int reserved1, int reserved2)
        {
            Note("Start size=%u reserved=%d,%d", size, reserved1, reserved2);
            Note("url=%s", url != NULL ? url : "(null)");
            SaveBody(body, size);
            if (IsScript("raise-start"))
                throw new CScriptException;
            m_size = size;
            InterlockedExchange(&m_started, 1);
            if (IsScript("fail-unfinished"))
                InterlockedExchange(&m_failed, 1);
            if (IsScript("succeed") || IsScript("progress-stop"))
            {
                DWORD threadId = 0;
                m_thread = CreateThread(NULL, 0, ThreadMain, this, 0, &threadId);
            }
            return true;
        }

        virtual bool HasFailed()
        {
            bool failed = m_failed != 0;
            Note("HasFailed %s", failed ? "true" : "false");
            return failed;
        }

        virtual void Cancel()
        {
            Note("Cancel");
            InterlockedExchange(&m_cancelled, 1);
            SetEvent(m_cancelEvent);
            // These end at once; the other scripts end from their thread.
            if (IsScript("fail-unfinished") || m_started == 0)
            {
                InterlockedExchange(&m_failed, 1);
                InterlockedExchange(&m_finished, 1);
            }
            else if (IsScript("slow-finish"))
            {
                InterlockedExchange(&m_failed, 1);
            }
        }

        virtual bool SetOptions(int attempts, int timeoutMs)
        {
            Note("SetOptions %d %d", attempts, timeoutMs);
            return true;
        }

        virtual bool SetAgentName(const char* agent)
        {
            Note("SetAgentName %s", agent != NULL ? agent : "(null)");
            return true;
        }

        virtual int Reserved8()
        {
            Note("Reserved8");
            return 0;
        }

        virtual void Release()
        {
            Note("Release");
            SetEvent(m_cancelEvent);
            WaitForThread();
            delete this;
        }

    private:
        ~CScriptedTransfer()
        {
            if (m_thread != NULL)
                CloseHandle(m_thread);
            if (m_cancelEvent != NULL)
                CloseHandle(m_cancelEvent);
        }

        static DWORD WINAPI ThreadMain(void* self)
        {
            static_cast<CScriptedTransfer*>(self)->Run();
            return 0;
        }

        void Run()
        {
            if (IsScript("succeed"))
            {
                for (int piece = 1; piece <= 4; ++piece)
                {
                    int sent = static_cast<int>(static_cast<unsigned long long>(m_size) * piece / 4);
                    bool answer = m_callback->OnProgress(1, 1, static_cast<int>(m_size), sent);
                    Note("progress %d %s", sent, answer ? "true" : "false");
                }
                InterlockedExchange(&m_finished, 1);
                m_callback->OnTransferEnded(1, 1, 200, 0);
                Note("ended");
                return;
            }
            // progress-stop: never reaches the end of the body on its own.
            int sent = 0;
            while (WaitForSingleObject(m_cancelEvent, 20) == WAIT_TIMEOUT)
            {
                if (sent + 1 < static_cast<int>(m_size))
                    ++sent;
                bool answer = m_callback->OnProgress(1, 1, static_cast<int>(m_size), sent);
                Note("progress %d %s", sent, answer ? "true" : "false");
            }
            for (int i = 0; i < 3; ++i)
            {
                bool answer = m_callback->OnProgress(1, 1, static_cast<int>(m_size), sent);
                Note("progress-after-cancel %d %s", sent, answer ? "true" : "false");
            }
            InterlockedExchange(&m_failed, 1);
            InterlockedExchange(&m_finished, 1);
        }

        // The notifications send messages to the caller's windows: keep
        // handling those while waiting, or both threads would wait for ever.
        void WaitForThread()
        {
            if (m_thread == NULL)
                return;
            for (;;)
            {
                DWORD result = MsgWaitForMultipleObjects(1, &m_thread, FALSE, INFINITE, QS_SENDMESSAGE);
                if (result != WAIT_OBJECT_0 + 1)
                    break;
                MSG message;
                PeekMessageA(&message, NULL, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
            }
        }

        CNetworkInterfaceCallbackABC* m_callback;
        HANDLE m_thread;
        HANDLE m_cancelEvent;
        volatile LONG m_started;
        volatile LONG m_cancelled;
        volatile LONG m_finished;
        volatile LONG m_failed;
        int m_finishedAsksAfterCancel;
        unsigned int m_size;
    };
}

extern "C" CNetworkInterfaceABC* WINAPI CreateNetworkInterface(CNetworkInterfaceCallbackABC* callback, int id,
                                                               const char* proxy, int proxyPort,
                                                               const char* contentType, const char* extraHeaders,
                                                               int reportProgress)
{
    Note("factory callback=%s id=%d proxy=%s port=%d type=%s headers=%s progress=%d",
         callback != NULL ? "set" : "null", id, proxy != NULL ? proxy : "(null)", proxyPort,
         contentType != NULL ? contentType : "(null)", extraHeaders != NULL ? extraHeaders : "(null)",
         reportProgress);
    if (IsScript("null"))
        return NULL;
    if (IsScript("raise-factory"))
        throw new CScriptException;
    return new CScriptedTransfer(callback);
}
