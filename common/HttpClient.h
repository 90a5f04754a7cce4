#pragma once
// A small WinInet client: the questionnaire post of the uninstaller.
// All text handed in is narrow (the thread's ANSI code page).
#include <windows.h>
#include <wininet.h>

#include <string>
#include <vector>

#include "common/Handles.h"

// WinInet handles, closed through the run-time bound WinInet.
struct InternetHandleTraits {
    using Handle = HINTERNET;
    static Handle Invalid() { return nullptr; }
    static bool IsValid(Handle h) { return h != nullptr; }
    static void Close(Handle h);
};
using UniqueInternetHandle = UniqueWinHandle<InternetHandleTraits>;

class W3Client {
public:
    enum ServiceType { kFtp = 0, kHttp = 1, kHttps = 2 };

    W3Client() = default;
    W3Client(const W3Client&) = delete;
    W3Client& operator=(const W3Client&) = delete;
    virtual ~W3Client();

    virtual bool Connect(const char* host, int port, const char* user, const char* password, int type,
                         const char* agent);
    virtual bool PostMultipart(const char* path, const char* referrer);
    virtual bool PostMultipartEx(const char* path, const char* referrer, const char* extraHeaders);
    virtual bool PostUrlEncoded(const char* path, const char* referrer);
    virtual bool PostUrlEncodedEx(const char* path, const char* referrer, const char* extraHeaders);
    virtual bool Get(const char* path, const char* referrer);
    virtual bool GetRange(const char* path, const char* referrer, unsigned long from, unsigned long to);
    virtual bool GetNoCookies(const char* path, const char* referrer);

    // Parses the URL and connects; throws a narrow C string on failure.
    bool ConnectUrl(const std::string& url);
    // Sends the urlencoded POST; never throws.
    bool Request(const std::string& path);
    // Reads at most 1024 bytes of the answer: the count, 0 at the end or on failure.
    DWORD Response(char* buffer);

    void SetRawBody(const std::string& body) { m_strRawBody = body; }
    void AddArgument(const std::string& name, const std::string& value, bool isFile = false);
    void AddCookie(const std::string& name, const std::string& value);
    void SetExtraHeaders(const std::string& headers) { m_strExtraHeaders = headers; }
    // Closes the request, connection and root handles (each only when open).
    void CloseHandles();

private:
    struct Argument {
        std::string name;
        std::string value;
        bool isFile = false;
    };
    bool SendRequest(const wchar_t* verb, const char* path, const char* referrer, const std::wstring& headers,
                     const std::string& body, bool useCookies);
    void AddHeaders();
    void SetCookies(const char* path);
    std::string BuildFormBody() const;
    std::string BuildMultipartBody() const;

    // Declared root first: destruction closes the request, then the connection, then the root.
    UniqueInternetHandle m_hRoot;
    UniqueInternetHandle m_hConnection;
    UniqueInternetHandle m_hRequest;
    std::string m_strHost;
    std::string m_strUser;
    std::string m_strPassword;
    std::string m_strPath;
    std::string m_strRawBody;
    int m_nPort = 0;
    int m_nType = kHttp;
    std::vector<Argument> m_vecArguments;
    std::vector<std::pair<std::string, std::string>> m_vecCookies;
    std::string m_strExtraHeaders;
};

struct ParsedUrl {
    std::string scheme;
    std::string user;
    std::string password;
    std::string host;
    long port = 0;
    std::string path;
};

// Splits "scheme://host[:port]/path?query" into base and path; false without "://" or a path.
bool SplitUrl(const std::string& url, std::string& base, std::string& path);
ParsedUrl ParseUrl(const std::string& url);
// The most of an answer that HttpPost keeps; the rest is not read.
constexpr size_t kMaxHttpResponse = 64 * 1024;

// Posts the body to the URL and returns the answer's body ("" when nothing came
// back), at most kMaxHttpResponse bytes.
std::string HttpPost(const std::string& url, const std::string& body);
