#include "tests/actions/FakeFirewall.h"

namespace {

template <typename I> class FakeObject : public I {
public:
    explicit FakeObject(FakeFirewall* fw) : m_fw(fw) { ++m_fw->live; }
    virtual ~FakeObject() { --m_fw->live; }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override
    {
        *out = this;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_refs; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        ULONG left = --m_refs;
        if (left == 0)
            delete this;
        return left;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override
    {
        return E_NOTIMPL;
    }

protected:
    FakeFirewall* m_fw;

private:
    ULONG m_refs = 1;
};

std::string Narrow(const wchar_t* text)
{
    std::string out;
    for (; text && *text; ++text)
        out += static_cast<char>(*text);
    return out;
}

class FakeApplication : public FakeObject<INetFwAuthorizedApplication> {
public:
    FakeApplication(FakeFirewall* fw, std::wstring path, FakeFirewall::Entry entry)
        : FakeObject(fw), path(std::move(path)), entry(std::move(entry))
    {
    }
    HRESULT STDMETHODCALLTYPE get_Name(BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_Name(BSTR name) override
    {
        HRESULT hr = m_fw->Call("put_Name", Narrow(name));
        if (SUCCEEDED(hr))
            entry.name = name;
        return hr;
    }
    HRESULT STDMETHODCALLTYPE get_ProcessImageFileName(BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_ProcessImageFileName(BSTR image) override
    {
        HRESULT hr = m_fw->Call("put_ProcessImageFileName", Narrow(image));
        if (SUCCEEDED(hr))
            path = image;
        return hr;
    }
    HRESULT STDMETHODCALLTYPE get_IpVersion(NET_FW_IP_VERSION*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_IpVersion(NET_FW_IP_VERSION) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Scope(NET_FW_SCOPE*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_Scope(NET_FW_SCOPE) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_RemoteAddresses(BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_RemoteAddresses(BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Enabled(VARIANT_BOOL* enabled) override
    {
        HRESULT hr = m_fw->Call("get_Enabled");
        if (SUCCEEDED(hr))
            *enabled = entry.enabled ? VARIANT_TRUE : VARIANT_FALSE;
        return hr;
    }
    HRESULT STDMETHODCALLTYPE put_Enabled(VARIANT_BOOL) override { return E_NOTIMPL; }

    std::wstring path;
    FakeFirewall::Entry entry;
};

class FakeApplications : public FakeObject<INetFwAuthorizedApplications> {
public:
    FakeApplications(FakeFirewall* fw, int type) : FakeObject(fw), m_type(type) { }
    HRESULT STDMETHODCALLTYPE get_Count(LONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Add(INetFwAuthorizedApplication* app) override
    {
        auto* fake = static_cast<FakeApplication*>(app);
        HRESULT hr = m_fw->Call("Add", Narrow(fake->path.c_str()) + "=" + Narrow(fake->entry.name.c_str()) + "@" +
                                           std::to_string(m_type));
        if (SUCCEEDED(hr)) {
            FakeFirewall::Entry entry = fake->entry;
            entry.enabled = !m_fw->addLeavesDisabled;
            m_fw->profiles[m_type][fake->path] = entry;
        }
        return hr;
    }
    HRESULT STDMETHODCALLTYPE Remove(BSTR image) override
    {
        HRESULT hr = m_fw->Call("Remove", Narrow(image) + "@" + std::to_string(m_type));
        if (SUCCEEDED(hr))
            m_fw->profiles[m_type].erase(image);
        return hr;
    }
    HRESULT STDMETHODCALLTYPE Item(BSTR image, INetFwAuthorizedApplication** app) override
    {
        *app = nullptr;
        HRESULT hr = m_fw->Call("Item", Narrow(image) + "@" + std::to_string(m_type));
        if (FAILED(hr))
            return hr;
        auto found = m_fw->profiles[m_type].find(image);
        if (found == m_fw->profiles[m_type].end())
            return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
        *app = new FakeApplication(m_fw, found->first, found->second);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get__NewEnum(IUnknown**) override { return E_NOTIMPL; }

private:
    int m_type;
};

class FakeProfile : public FakeObject<INetFwProfile> {
public:
    FakeProfile(FakeFirewall* fw, int type) : FakeObject(fw), m_type(type) { }
    HRESULT STDMETHODCALLTYPE get_Type(NET_FW_PROFILE_TYPE* type) override
    {
        *type = static_cast<NET_FW_PROFILE_TYPE>(m_type);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_FirewallEnabled(VARIANT_BOOL*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_FirewallEnabled(VARIANT_BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_ExceptionsNotAllowed(VARIANT_BOOL*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_ExceptionsNotAllowed(VARIANT_BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_NotificationsDisabled(VARIANT_BOOL*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_NotificationsDisabled(VARIANT_BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_UnicastResponsesToMulticastBroadcastDisabled(VARIANT_BOOL*) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE put_UnicastResponsesToMulticastBroadcastDisabled(VARIANT_BOOL) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE get_RemoteAdminSettings(INetFwRemoteAdminSettings**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_IcmpSettings(INetFwIcmpSettings**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_GloballyOpenPorts(INetFwOpenPorts**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Services(INetFwServices**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_AuthorizedApplications(INetFwAuthorizedApplications** apps) override
    {
        *apps = nullptr;
        HRESULT hr = m_fw->Call("get_AuthorizedApplications", std::to_string(m_type));
        if (SUCCEEDED(hr) && !m_fw->Null("get_AuthorizedApplications"))
            *apps = new FakeApplications(m_fw, m_type);
        return hr;
    }

private:
    int m_type;
};

class FakePolicy : public FakeObject<INetFwPolicy> {
public:
    using FakeObject::FakeObject;
    HRESULT STDMETHODCALLTYPE get_CurrentProfile(INetFwProfile** profile) override
    {
        *profile = nullptr;
        HRESULT hr = m_fw->Call("get_CurrentProfile");
        if (SUCCEEDED(hr))
            *profile = new FakeProfile(m_fw, m_fw->currentProfile);
        return hr;
    }
    HRESULT STDMETHODCALLTYPE GetProfileByType(NET_FW_PROFILE_TYPE type, INetFwProfile** profile) override
    {
        *profile = nullptr;
        HRESULT hr = m_fw->Call("GetProfileByType", std::to_string(type));
        if (SUCCEEDED(hr))
            *profile = new FakeProfile(m_fw, type);
        return hr;
    }
};

class FakeManager : public FakeObject<INetFwMgr> {
public:
    using FakeObject::FakeObject;
    HRESULT STDMETHODCALLTYPE get_LocalPolicy(INetFwPolicy** policy) override
    {
        *policy = nullptr;
        HRESULT hr = m_fw->Call("get_LocalPolicy");
        if (SUCCEEDED(hr) && !m_fw->Null("get_LocalPolicy"))
            *policy = new FakePolicy(m_fw);
        return hr;
    }
    HRESULT STDMETHODCALLTYPE get_CurrentProfileType(NET_FW_PROFILE_TYPE*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE RestoreDefaults() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE IsPortAllowed(BSTR, NET_FW_IP_VERSION, LONG, BSTR, NET_FW_IP_PROTOCOL, VARIANT*,
                                            VARIANT*) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE IsIcmpTypeAllowed(NET_FW_IP_VERSION, BSTR, BYTE, VARIANT*, VARIANT*) override
    {
        return E_NOTIMPL;
    }
};

}  // namespace

HRESULT FakeFirewall::Call(const std::string& method, const std::string& detail)
{
    calls.push_back(detail.empty() ? method : method + ":" + detail);
    int count = ++m_counts[method];
    auto found = failOn.find(method);
    if (found != failOn.end() && (found->second == 0 || found->second == count))
        return failure;
    return S_OK;
}

HRESULT FakeFirewall::CreateManager(INetFwMgr** manager)
{
    *manager = nullptr;
    HRESULT hr = Call("CreateManager");
    if (SUCCEEDED(hr) && !Null("CreateManager"))
        *manager = new FakeManager(this);
    return hr;
}

HRESULT FakeFirewall::CreateAuthorizedApplication(INetFwAuthorizedApplication** application)
{
    *application = nullptr;
    HRESULT hr = Call("CreateApplication");
    if (SUCCEEDED(hr) && !Null("CreateApplication"))
        *application = new FakeApplication(this, std::wstring(), Entry {});
    return hr;
}

FirewallScope::FirewallScope(FakeFirewall* fake)
{
    FirewallTools::SetComFactory(fake);
    FirewallTools::SetOutputSink([this](const std::string& text) { output += text; });
}

FirewallScope::~FirewallScope()
{
    FirewallTools::SetComFactory(nullptr);
    FirewallTools::SetOutputSink(nullptr);
}
