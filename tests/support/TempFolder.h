#ifndef TESTS_SUPPORT_TEMPFOLDER_H
#define TESTS_SUPPORT_TEMPFOLDER_H

#include <string>

// A fresh folder under the temporary folder, removed with everything in it
// when the object goes. Path() ends in a backslash.
class CTempFolder
{
public:
    CTempFolder();
    ~CTempFolder();

    const std::string& Path() const { return m_path; }
    // Path() followed by the relative name.
    std::string operator/(const std::string& name) const { return m_path + name; }

private:
    CTempFolder(const CTempFolder&);
    CTempFolder& operator=(const CTempFolder&);

    std::string m_path;
};

#endif
