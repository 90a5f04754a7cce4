#include "common/HttpClient.h"

#include <cstdlib>
#include <cstring>
#include <memory>

#include "common/SystemLibrary.h"

namespace {

// WinInet is not a KnownDLL: it is loaded from the system folder by full path.
struct WinInetApi {
    decltype(&::HttpAddRequestHeadersA) HttpAddRequestHeadersA = nullptr;
    decltype(&::HttpAddRequestHeadersW) HttpAddRequestHeadersW = nullptr;
    decltype(&::HttpOpenRequestW) HttpOpenRequestW = nullptr;
    decltype(&::HttpSendRequestW) HttpSendRequestW = nullptr;
    decltype(&::InternetAttemptConnect) InternetAttemptConnect = nullptr;
    decltype(&::InternetCloseHandle) InternetCloseHandle = nullptr;
    decltype(&::InternetConnectW) InternetConnectW = nullptr;
    decltype(&::InternetOpenW) InternetOpenW = nullptr;
    decltype(&::InternetReadFile) InternetReadFile = nullptr;
    decltype(&::InternetSetCookieW) InternetSetCookieW = nullptr;
    bool complete = false;
};

// Sets `fn` to the export `name` of WinInet; false when it is missing.
template <typename Fn> bool Bind(Fn& fn, const char* name)
{
    fn = SystemFunction<Fn>(L"wininet.dll", name);
    return fn != nullptr;
}

const WinInetApi& WinInet()
{
    static const WinInetApi api = [] {
        WinInetApi a;
        bool ok = Bind(a.HttpAddRequestHeadersA, "HttpAddRequestHeadersA");
        ok = Bind(a.HttpAddRequestHeadersW, "HttpAddRequestHeadersW") && ok;
        ok = Bind(a.HttpOpenRequestW, "HttpOpenRequestW") && ok;
        ok = Bind(a.HttpSendRequestW, "HttpSendRequestW") && ok;
        ok = Bind(a.InternetAttemptConnect, "InternetAttemptConnect") && ok;
        ok = Bind(a.InternetCloseHandle, "InternetCloseHandle") && ok;
        ok = Bind(a.InternetConnectW, "InternetConnectW") && ok;
        ok = Bind(a.InternetOpenW, "InternetOpenW") && ok;
        ok = Bind(a.InternetReadFile, "InternetReadFile") && ok;
        ok = Bind(a.InternetSetCookieW, "InternetSetCookieW") && ok;
        a.complete = ok;
        return a;
    }();
    return api;
}

const char kAgent[] = "Mozilla/4.0 (compatible; )";
const char kBoundary[] = "--MULTI-PARTS-FORM-DATA-BOUNDARY";
const wchar_t kAcceptHeader[] = L"Accept: */*\r\n";
const wchar_t kFormHeader[] = L"Content-Type: application/x-www-form-urlencoded\r\n";

std::wstring Widen(const char* text)
{
    if (!text || !*text)
        return std::wstring();
    int size = ::MultiByteToWideChar(CP_THREAD_ACP, 0, text, -1, nullptr, 0);
    if (size <= 0)
        return std::wstring();
    std::wstring result(static_cast<size_t>(size), L'\0');
    ::MultiByteToWideChar(CP_THREAD_ACP, 0, text, -1, result.data(), size);
    result.resize(static_cast<size_t>(size - 1));
    return result;
}

std::wstring Widen(const std::string& text)
{
    return Widen(text.c_str());
}

const wchar_t* OrNull(const std::wstring& text)
{
    return text.empty() ? nullptr : text.c_str();
}

int DefaultPort(int type)
{
    switch (type) {
    case W3Client::kHttps:
        return INTERNET_DEFAULT_HTTPS_PORT;
    case W3Client::kFtp:
        return INTERNET_DEFAULT_FTP_PORT;
    default:
        return INTERNET_DEFAULT_HTTP_PORT;
    }
}

}  // namespace

W3Client::~W3Client()
{
    m_vecArguments.clear();
    m_vecCookies.clear();
}

void W3Client::AddArgument(const std::string& name, const std::string& value, bool isFile)
{
    m_vecArguments.push_back(Argument {name, value, isFile});
}

void W3Client::AddCookie(const std::string& name, const std::string& value)
{
    m_vecCookies.emplace_back(name, value);
}

void InternetHandleTraits::Close(HINTERNET h)
{
    if (WinInet().InternetCloseHandle)
        WinInet().InternetCloseHandle(h);
}

void W3Client::CloseHandles()
{
    m_hRequest.reset();
    m_hConnection.reset();
    m_hRoot.reset();
}

bool W3Client::Connect(const char* host, int port, const char* user, const char* password, int type, const char* agent)
{
    if (!WinInet().complete)
        return false;
    CloseHandles();
    m_hRoot.reset(WinInet().InternetOpenW(Widen(agent).c_str(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!m_hRoot)
        throw "open internet failed...";
    if (type != kHttp && type != kHttps && type != kFtp)
        throw "connect failed...";
    int usePort = port ? port : DefaultPort(type);
    std::wstring wHost = Widen(host), wUser = Widen(user), wPassword = Widen(password);
    if (type == kFtp) {
        m_hConnection.reset(
            WinInet().InternetConnectW(m_hRoot.get(), wHost.c_str(), static_cast<INTERNET_PORT>(usePort), OrNull(wUser),
                                       OrNull(wPassword), INTERNET_SERVICE_FTP, INTERNET_FLAG_PASSIVE, 0));
    } else {
        m_hConnection.reset(WinInet().InternetConnectW(m_hRoot.get(), wHost.c_str(),
                                                       static_cast<INTERNET_PORT>(usePort), OrNull(wUser),
                                                       OrNull(wPassword), INTERNET_SERVICE_HTTP, 0, 0));
    }
    if (!m_hConnection.get() || WinInet().InternetAttemptConnect(0) != ERROR_SUCCESS)
        throw "connect failed...";
    m_strHost = host ? host : "";
    m_nPort = usePort;
    m_nType = type;
    m_strUser = user ? user : "";
    m_strPassword = password ? password : "";
    m_vecArguments.clear();
    m_vecCookies.clear();
    return true;
}

void W3Client::AddHeaders()
{
    if (!WinInet().HttpAddRequestHeadersW(m_hRequest.get(), kAcceptHeader, static_cast<DWORD>(wcslen(kAcceptHeader)),
                                          HTTP_ADDREQ_FLAG_REPLACE | HTTP_ADDREQ_FLAG_ADD))
        throw "additional header failed...";
    if (!m_strExtraHeaders.empty()) {
        BOOL ok =
            WinInet().HttpAddRequestHeadersA(m_hRequest.get(), m_strExtraHeaders.c_str(),
                                             static_cast<DWORD>(m_strExtraHeaders.size()), HTTP_ADDREQ_FLAG_ADD_IF_NEW);
        m_strExtraHeaders.clear();
        if (!ok)
            throw "additional header failed...";
    }
}

void W3Client::SetCookies(const char* path)
{
    if (m_vecCookies.empty())
        return;
    std::string url = m_nType == kHttps ? "https://" : "http://";
    url += m_strHost;
    bool defaultPort = (m_nType == kHttp && m_nPort == 80) || (m_nType == kHttps && m_nPort == 443);
    if (!defaultPort)
        url += ":" + std::to_string(m_nPort);
    url += path ? path : "";
    for (const auto& cookie : m_vecCookies) {
        if (!WinInet().InternetSetCookieW(Widen(url).c_str(), Widen(cookie.first).c_str(),
                                          Widen(cookie.second).c_str()))
            throw "add cookie failed...";
    }
}

std::string W3Client::BuildFormBody() const
{
    if (!m_strRawBody.empty())
        return m_strRawBody;
    std::string body;
    for (size_t i = 0; i < m_vecArguments.size(); ++i) {
        if (i)
            body += "&";
        body += m_vecArguments[i].name + "=" + m_vecArguments[i].value;
    }
    return body;
}

std::string W3Client::BuildMultipartBody() const
{
    std::string body;
    for (const auto& arg : m_vecArguments) {
        body += std::string("--") + kBoundary + "\r\n";
        if (arg.isFile) {
            body += "Content-Disposition: form-data; name=\"" + arg.name + "\"; filename=\"" + arg.value + "\"\r\n\r\n";
        } else {
            body += "Content-Disposition: form-data; name=\"" + arg.name + "\"\r\n\r\n" + arg.value + "\r\n";
        }
    }
    return body;
}

bool W3Client::SendRequest(const wchar_t* verb, const char* path, const char* referrer, const std::wstring& headers,
                           const std::string& body, bool useCookies)
{
    if (!m_hConnection)
        throw "handle not opened...";
    const wchar_t* accept[] = {L"*/*", nullptr};
    DWORD flags = INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_KEEP_CONNECTION | INTERNET_FLAG_FORMS_SUBMIT;
    if (m_nType == kHttps)
        flags |= INTERNET_FLAG_SECURE;
    std::wstring wPath = Widen(path), wReferrer = Widen(referrer);
    m_hRequest.reset(WinInet().HttpOpenRequestW(m_hConnection.get(), verb, wPath.c_str(), L"HTTP/1.0",
                                                OrNull(wReferrer), accept, flags, 0));
    if (!m_hRequest)
        throw "request failed...";
    AddHeaders();
    if (useCookies)
        SetCookies(path);
    // The body goes out as the caller's bytes, its length without the terminator.
    std::unique_ptr<char[]> block(new char[body.size() + 1]());
    std::memcpy(block.get(), body.data(), body.size());
    BOOL sent = WinInet().HttpSendRequestW(m_hRequest.get(), headers.empty() ? nullptr : headers.c_str(),
                                           static_cast<DWORD>(headers.size()), body.empty() ? nullptr : block.get(),
                                           static_cast<DWORD>(body.size()));
    if (!sent && ::GetLastError() != ERROR_HTTP_REDIRECT_NEEDS_CONFIRMATION)
        throw "request failed...";
    return true;
}

bool W3Client::PostUrlEncoded(const char* path, const char* referrer)
{
    return SendRequest(L"POST", path, referrer, kFormHeader, BuildFormBody(), true);
}

bool W3Client::PostUrlEncodedEx(const char* path, const char* referrer, const char* extraHeaders)
{
    if (extraHeaders)
        m_strExtraHeaders = extraHeaders;
    return PostUrlEncoded(path, referrer);
}

bool W3Client::PostMultipart(const char* path, const char* referrer)
{
    std::wstring header = L"Content-Type: multipart/form-data; boundary=--MULTI-PARTS-FORM-DATA-BOUNDARY\r\n";
    return SendRequest(L"POST", path, referrer, header, BuildMultipartBody(), true);
}

bool W3Client::PostMultipartEx(const char* path, const char* referrer, const char* extraHeaders)
{
    std::string body = BuildMultipartBody();
    char length[64];
    std::snprintf(length, sizeof(length), "Content-Length: %d\r\n", static_cast<int>(body.size()));
    m_strExtraHeaders = std::string(extraHeaders ? extraHeaders : "") + length;
    return PostMultipart(path, referrer);
}

bool W3Client::Get(const char* path, const char* referrer)
{
    return SendRequest(L"GET", path, referrer, std::wstring(), std::string(), true);
}

bool W3Client::GetRange(const char* path, const char* referrer, unsigned long from, unsigned long to)
{
    m_strExtraHeaders = "Range: bytes=" + std::to_string(from) + "-" + std::to_string(to) + "\r\n";
    return Get(path, referrer);
}

bool W3Client::GetNoCookies(const char* path, const char* referrer)
{
    return SendRequest(L"GET", path, referrer, std::wstring(), std::string(), false);
}

bool W3Client::ConnectUrl(const std::string& url)
{
    ParsedUrl parts = ParseUrl(url);
    int type = -1;
    if (parts.scheme.rfind("https", 0) == 0)
        type = kHttps;
    else if (parts.scheme.rfind("http", 0) == 0)
        type = kHttp;
    else if (parts.scheme.rfind("ftp", 0) == 0)
        type = kFtp;
    m_strPath = parts.path;
    return Connect(parts.host.c_str(), static_cast<int>(parts.port), parts.user.empty() ? nullptr : parts.user.c_str(),
                   parts.password.empty() ? nullptr : parts.password.c_str(), type, kAgent);
}

bool W3Client::Request(const std::string& path)
{
    bool ok = false;
    try {
        ok = PostUrlEncoded(path.c_str(), nullptr);
    } catch (const char*) {
        ok = false;
    }
    if (!ok) {
        m_hRequest.reset();
        return false;
    }
    m_strPath = path;
    return true;
}

DWORD W3Client::Response(char* buffer)
{
    try {
        if (!m_hRequest)
            throw "connection failed...";
    } catch (const char*) {
        return 0;
    }
    DWORD read = 0;
    if (!WinInet().InternetReadFile(m_hRequest.get(), buffer, 1024, &read)) {
        m_hRequest.reset();
        return 0;
    }
    return read;
}

bool SplitUrl(const std::string& url, std::string& base, std::string& path)
{
    size_t scheme = url.find("://");
    if (scheme == std::string::npos)
        return false;
    size_t slash = url.find('/', scheme + 3);
    if (slash == std::string::npos)
        return false;
    base = url.substr(0, slash);
    path = url.substr(slash);
    return true;
}

ParsedUrl ParseUrl(const std::string& url)
{
    ParsedUrl parts;
    size_t start = 0;
    size_t colon = url.find(':');
    if (colon != std::string::npos && colon + 1 < url.size() && url[colon + 1] == '/') {
        parts.scheme = url.substr(0, colon);
        start = colon + 3;
    } else {
        parts.scheme = "http";
    }
    if (start > url.size())
        start = url.size();
    size_t at = url.find('@', start);
    if (at != std::string::npos) {
        std::string credentials = url.substr(start, at - start);
        size_t split = credentials.find(':');
        parts.user = credentials.substr(0, split);
        if (split != std::string::npos)
            parts.password = credentials.substr(split + 1);
        start = at + 1;
    }
    size_t slash = url.find('/', start);
    std::string host = url.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
    size_t portColon = host.find(':');
    if (portColon != std::string::npos) {
        parts.port = std::atol(host.c_str() + portColon + 1);
        host.erase(portColon);
    } else if (parts.scheme == "https") {
        parts.port = 443;
    } else if (parts.scheme == "ftp") {
        parts.port = 21;
    } else {
        parts.port = 80;
    }
    parts.host = host;
    parts.path = slash == std::string::npos ? "/" : url.substr(slash);
    return parts;
}

std::string HttpPost(const std::string& url, const std::string& body)
{
    std::string base, path;
    if (!SplitUrl(url, base, path))
        return std::string();
    std::string result;
    W3Client client;
    try {
        client.ConnectUrl(base);
        client.SetRawBody(body);
        if (client.Request(path)) {
            // A server that never stops sending must not fill the memory.
            while (result.size() < kMaxHttpResponse) {
                char buffer[1024] = {};
                DWORD read = client.Response(buffer);
                if (read == 0)
                    break;
                result.append(buffer, read);
            }
            if (result.size() > kMaxHttpResponse)
                result.resize(kMaxHttpResponse);
        }
    } catch (...) {
    }
    client.CloseHandles();
    return result;
}
