// Timings for the benchmark script, taken inside Wine so that the program
// under measurement and its plain reference pay the same costs.
// usage: vtbench COMMAND ARGUMENTS...   (prints one line: milliseconds [extra])
//   run PROGRAM [ARGS]      starts the program, waits for it to end
//   bare PROGRAM            only CreateProcessA on PROGRAM (the reference for the loader)
//   copy SOURCE DEST        CopyFileA of every file of SOURCE into DEST
//   pack FOLDER ZIP         the reporter's packing at level 9; prints the size too
//   deflate FOLDER          zlib's deflate at level 9 over the same bytes; prints the size too
//   upload URL FILE         Network.dll (beside this program) posting the file
#include "foundation/FileSearch.h"
#include "reporter/NetworkInterfaceABC.h"
#include "reporter/NetworkInterfaceCallbackABC.h"
#include "reporter/ZipWriter.h"

#include <windows.h>
#include <zlib.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <string>
#include <vector>

namespace
{
    double Now()
    {
        LARGE_INTEGER counter, frequency;
        QueryPerformanceCounter(&counter);
        QueryPerformanceFrequency(&frequency);
        return counter.QuadPart * 1000.0 / frequency.QuadPart;
    }

    bool Spawn(const std::string& program, const std::string& commandLine, bool wait)
    {
        STARTUPINFOA startup = {};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION info = {};
        std::vector<char> line(commandLine.begin(), commandLine.end());
        line.push_back(0);
        if (!CreateProcessA(program.c_str(), &line[0], NULL, NULL, TRUE, 0, NULL, NULL, &startup, &info))
            return false;
        if (wait)
            WaitForSingleObject(info.hProcess, INFINITE);
        CloseHandle(info.hThread);
        CloseHandle(info.hProcess);
        return true;
    }

    std::vector<std::string> Files(const std::string& folder)
    {
        std::vector<std::string> names;
        CFileSearch search;
        for (search.FindFirst((folder + "\\*.*").c_str()); search.IsValid(); search.Next())
        {
            if (!search.IsFolder())
                names.push_back(search.GetName());
        }
        return names;
    }

    bool ReadAll(const std::string& path, std::vector<unsigned char>& bytes)
    {
        FILE* f = fopen(path.c_str(), "rb");
        if (f == NULL)
            return false;
        fseek(f, 0, SEEK_END);
        long size = ftell(f);
        fseek(f, 0, SEEK_SET);
        bytes.resize(static_cast<size_t>(size));
        bool ok = size == 0 || fread(&bytes[0], 1, bytes.size(), f) == bytes.size();
        fclose(f);
        return ok;
    }

    class CWaitingCallback : public CNetworkInterfaceCallbackABC
    {
    public:
        bool OnTransferEnded(int, int, int, int) { return true; }
        bool OnTransferEndedEx(int, int, int, int, int) { return true; }
        bool OnNotify(int, int, int) { return true; }
        bool OnNotifyEx(int, int, int, int) { return true; }
        bool OnProgress(int, int, int, int) { return true; }
    };

    int Upload(const char* url, const char* file)
    {
        std::vector<unsigned char> body;
        if (!ReadAll(file, body))
            return 1;
        char path[MAX_PATH];
        GetModuleFileNameA(NULL, path, sizeof(path));
        strcpy(strrchr(path, '\\') + 1, "Network.dll");
        HMODULE library = LoadLibraryA(path);
        CreateNetworkInterfaceProc create = library ? reinterpret_cast<CreateNetworkInterfaceProc>(
            reinterpret_cast<void*>(GetProcAddress(library, MAKEINTRESOURCEA(1)))) : NULL;
        if (create == NULL)
            return 1;
        CWaitingCallback callback;
        double start = Now();
        CNetworkInterfaceABC* transfer = create(&callback, 1, "", 0, "", "", 1);
        transfer->SetOptions(5, 60000);
        transfer->Start(url, body.empty() ? NULL : &body[0], static_cast<unsigned int>(body.size()), 0, 0);
        while (!transfer->IsFinished())
            Sleep(1);
        bool failed = transfer->HasFailed();
        double elapsed = Now() - start;
        transfer->Release();
        printf("%.2f\n", elapsed);
        return failed ? 1 : 0;
    }

    int Deflate(const std::string& folder)
    {
        std::vector<std::string> names = Files(folder);
        double start = Now();
        unsigned long total = 0;
        std::vector<unsigned char> input, output(1 << 16);
        for (size_t i = 0; i < names.size(); ++i)
        {
            if (!ReadAll(folder + "\\" + names[i], input))
                return 1;
            z_stream stream = {};
            deflateInit2(&stream, 9, Z_DEFLATED, -MAX_WBITS, 9, Z_DEFAULT_STRATEGY);
            stream.next_in = input.empty() ? NULL : &input[0];
            stream.avail_in = static_cast<uInt>(input.size());
            int result;
            do
            {
                stream.next_out = &output[0];
                stream.avail_out = static_cast<uInt>(output.size());
                result = deflate(&stream, Z_FINISH);
                total += static_cast<unsigned long>(output.size() - stream.avail_out);
            } while (result == Z_OK);
            deflateEnd(&stream);
        }
        printf("%.2f %lu\n", Now() - start, total);
        return 0;
    }
}

int main(int argc, char** argv)
{
    if (argc < 3)
        return 2;
    std::string command = argv[1];
    if (command == "run" || command == "bare")
    {
        std::string line = "\"" + std::string(argv[2]) + "\"";
        for (int i = 3; i < argc; ++i)
            line += std::string(" ") + argv[i];
        double start = Now();
        if (!Spawn(argv[2], line, command == "run"))
            return 1;
        if (command == "run")
            printf("%.2f\n", Now() - start);
        return 0;
    }
    if (command == "copy" && argc == 4)
    {
        std::vector<std::string> names = Files(argv[2]);
        double start = Now();
        for (size_t i = 0; i < names.size(); ++i)
        {
            if (!CopyFileA((std::string(argv[2]) + "\\" + names[i]).c_str(),
                           (std::string(argv[3]) + "\\" + names[i]).c_str(), FALSE))
                return 1;
        }
        printf("%.2f\n", Now() - start);
        return 0;
    }
    if (command == "pack" && argc == 4)
    {
        double start = Now();
        CZipWriter writer(NULL);
        bool ok = writer.Open(argv[3], false) && writer.AddFolder(argv[2], 9, true);
        ok = writer.Close() && ok;
        double elapsed = Now() - start;
        WIN32_FILE_ATTRIBUTE_DATA data;
        GetFileAttributesExA(argv[3], GetFileExInfoStandard, &data);
        printf("%.2f %lu\n", elapsed, static_cast<unsigned long>(data.nFileSizeLow));
        return ok ? 0 : 1;
    }
    if (command == "deflate")
        return Deflate(argv[2]);
    if (command == "upload" && argc == 4)
        return Upload(argv[2], argv[3]);
    return 2;
}
