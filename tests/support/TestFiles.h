#ifndef TESTS_SUPPORT_TESTFILES_H
#define TESTS_SUPPORT_TESTFILES_H

#include <string>
#include <vector>

// Plain file helpers for tests, independent of the code under test.
void WriteTextFile(const std::string& path, const std::string& contents);
std::string ReadTextFile(const std::string& path);
bool PathExists(const std::string& path);
bool IsFolder(const std::string& path);
void MakeFolder(const std::string& path);
void CopyInto(const std::string& source, const std::string& destination);
// Removes a tree whatever its attributes; used to clean up after tests.
void RemoveTree(const std::string& path);
// Names of the entries directly in a folder, sorted, without "." and "..".
std::vector<std::string> ListFolder(const std::string& folder);
// Folder of the running test program, ending in a backslash: the build's bin folder.
std::string BinFolder();
// Reads "key=value" lines into pairs, in file order.
std::vector<std::pair<std::string, std::string> > ReadRecord(const std::string& path);
std::string RecordValue(const std::string& path, const std::string& key);

#endif
