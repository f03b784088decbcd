#ifndef FOUNDATION_PARSECOMMANDLINEABC_H
#define FOUNDATION_PARSECOMMANDLINEABC_H

// Splits a Windows command line into options and hands each one to OnOption.
// An option is one token: an optional switch character ("-" or "/"), a name,
// and optionally "=" and a value. Tokens end at a space outside quotes; a
// quote at the start of the name, at the start of the value and at the end of
// the token is dropped, any other quote is kept.
class CParseCommandLineABC
{
public:
    // Called once per option, in order. name and value point into the parsed
    // text and are not zero-terminated; a token without "=" has a null value
    // of length 0. The answer is not looked at by Parse.
    virtual bool OnOption(bool isSwitch, const char* name, int nameLength, const char* value, int valueLength) = 0;
    virtual ~CParseCommandLineABC();

    // Scans at most length bytes of text (less when a zero byte comes first).
    // With skipFirst the first token, a program's path, is passed over. A null
    // text does nothing.
    void Parse(const char* text, int length, bool skipFirst);

protected:
    CParseCommandLineABC() {}

private:
    CParseCommandLineABC(const CParseCommandLineABC&);
    CParseCommandLineABC& operator=(const CParseCommandLineABC&);

    void ReportToken(const char* token, int tokenLength, int valueStart);
};

#endif
