#include "tests/reporter/ReporterSession.h"

#include "tests/support/TestFiles.h"



namespace
{
    const char kCaption[] = "Vantelo Problem Reporter";
    const char kProgram[] = "VanteloProblemReporter.exe";
    const DWORD kStartMs = 60000;

    unsigned int ReadLittle(const std::string& bytes, size_t offset, int size)
    {
        unsigned int value = 0;
        for (int i = size - 1; i >= 0; --i)
            value = (value << 8) | static_cast<unsigned char>(bytes[offset + i]);
        return value;
    }

    bool IsMessageBox(HWND window, HWND dialog)
    {
        return WindowClass(window) == "#32770" && window != dialog && GetDlgItem(window, 0xFFFF) != NULL;
    }
}

CReporterSession::CReporterSession(ENetwork network, const std::string& script) : m_dialog(NULL)
{
    std::string install = m_folder / "program\\";
    MakeFolder(install);
    m_program = install + kProgram;
    CopyInto(BinFolder() + kProgram, m_program);
    if (network == kStandIn)
        CopyInto(BinFolder() + "Network.dll", install + "Network.dll");
    else if (network == kScripted)
        CopyInto(BinFolder() + "ScriptedNetwork.dll", install + "Network.dll");
    m_crashFolder = m_folder / "crash.1";
    m_recordPath = m_folder / "network-record.txt";
    m_environment.push_back("VANTELO_NETWORK_SCRIPT=" + script);
    m_environment.push_back("VANTELO_NETWORK_RECORD=" + m_recordPath);
}

void CReporterSession::MakeCrashFolder(const char* crashInfo)
{
    MakeFolder(m_crashFolder);
    if (crashInfo != NULL)
        WriteCrashFile("crashinfo.dat", crashInfo);
}

void CReporterSession::WriteCrashFile(const std::string& relativePath, const std::string& contents)
{
    WriteTextFile(m_crashFolder + "\\" + relativePath, contents);
}

bool CReporterSession::Start(const std::string& arguments)
{
    std::string commandLine = "\"" + m_program + "\"";
    if (!arguments.empty())
        commandLine += " " + arguments;
    if (!m_run.Start(m_program, commandLine, SW_SHOWNORMAL, m_folder.Path(), m_environment))
        return false;
    DWORD start = GetTickCount();
    while (m_dialog == NULL && GetTickCount() - start < kStartMs && m_run.IsRunning())
    {
        HWND window = m_run.WaitForWindow("#32770", kCaption, 1000);
        if (window != NULL && GetDlgItem(window, 110) != NULL)
            m_dialog = window;
    }
    return m_dialog != NULL;
}

bool CReporterSession::StartOnCrashFolder()
{
    return Start("-F=\"" + m_crashFolder + "\"");
}

std::string CReporterSession::ButtonText() const
{
    return WindowText(Control(110));
}

void CReporterSession::TypeDescription(const std::string& text)
{
    SendMessageA(Control(1004), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void CReporterSession::Sync() const
{
    // Messages sent from here are handled before the posted ones, so a
    // posted marker that the reporter never touches shows when the messages
    // posted before it are done: the description box's text limit.
    static LPARAM marker = 100000;
    ++marker;
    HWND box = Control(1004);
    PostMessageA(box, EM_SETLIMITTEXT, static_cast<WPARAM>(marker), 0);
    DWORD start = GetTickCount();
    for (;;)
    {
        DWORD_PTR limit = 0;
        if (!SendMessageTimeoutA(box, EM_GETLIMITTEXT, 0, 0, SMTO_NORMAL, 120000, &limit) ||
            static_cast<LPARAM>(limit) == marker || GetTickCount() - start > 120000)
            return;
        Sleep(20);
    }
}

HWND CReporterSession::FindMessageBox() const
{
    std::vector<HWND> windows = m_run.Windows();
    for (size_t i = 0; i < windows.size(); ++i)
    {
        if (IsMessageBox(windows[i], m_dialog))
            return windows[i];
    }
    return NULL;
}

HWND CReporterSession::WaitForMessageBox(DWORD timeoutMs) const
{
    DWORD start = GetTickCount();
    for (;;)
    {
        HWND box = FindMessageBox();
        if (box != NULL)
            return box;
        if (GetTickCount() - start > timeoutMs || !m_run.IsRunning())
            return NULL;
        Sleep(50);
    }
}

DWORD CReporterSession::PressOkAndWaitForExit(HWND box)
{
    PressButton(box, IDOK);
    return WaitForExit();
}

DWORD CReporterSession::WaitForExit(DWORD timeoutMs)
{
    m_run.Wait(timeoutMs);
    return m_run.ExitCode();
}

std::vector<std::string> CReporterSession::RecordLines() const
{
    std::vector<std::string> lines;
    std::string text = ReadTextFile(m_recordPath);
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(text.substr(start, end - start));
    return lines;
}

bool CReporterSession::WaitForRecord(const std::string& prefix, DWORD timeoutMs) const
{
    DWORD start = GetTickCount();
    for (;;)
    {
        std::vector<std::string> lines = RecordLines();
        for (size_t i = 0; i < lines.size(); ++i)
        {
            if (lines[i].compare(0, prefix.size(), prefix) == 0)
                return true;
        }
        if (GetTickCount() - start > timeoutMs)
            return false;
        Sleep(50);
    }
}

std::vector<std::string> ZipEntryNames(const std::string& archive)
{
    std::vector<std::string> names;
    // The end-of-central-directory record: no archive comment is expected.
    if (archive.size() < 22 || ReadLittle(archive, archive.size() - 22, 4) != 0x06054b50)
        return names;
    size_t end = archive.size() - 22;
    unsigned int count = ReadLittle(archive, end + 10, 2);
    size_t offset = ReadLittle(archive, end + 16, 4);
    for (unsigned int i = 0; i < count; ++i)
    {
        if (offset + 46 > archive.size() || ReadLittle(archive, offset, 4) != 0x02014b50)
            return std::vector<std::string>();
        unsigned int nameLength = ReadLittle(archive, offset + 28, 2);
        unsigned int extraLength = ReadLittle(archive, offset + 30, 2);
        unsigned int commentLength = ReadLittle(archive, offset + 32, 2);
        if (offset + 46 + nameLength > archive.size())
            return std::vector<std::string>();
        names.push_back(archive.substr(offset + 46, nameLength));
        offset += 46 + nameLength + extraLength + commentLength;
    }
    return names;
}

std::string RandomBytes(size_t count, unsigned seed)
{
    std::string bytes(count, '\0');
    unsigned state = seed;
    for (size_t i = 0; i < count; ++i)
    {
        state = state * 1103515245u + 12345u;
        bytes[i] = static_cast<char>(state >> 24);
    }
    return bytes;
}
