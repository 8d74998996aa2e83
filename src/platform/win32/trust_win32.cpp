#include <windows.h>
// The trust headers need windows.h, then each other, in this order.
#include <wincrypt.h>
#include <wintrust.h>
#include <softpub.h>
#include <mscat.h>

#include <string>

#include "platform/win32/functions.h"
#include "platform/win32/services_util.h"
#include "platform/win32/system_library.h"
#include "platform/win32/text.h"
#include "platform/win32/trust_win32.h"

namespace wd::win32 {
namespace {

struct Api {
    decltype(&::WinVerifyTrust) winVerifyTrust = nullptr;
    decltype(&::WTHelperProvDataFromStateData) provData = nullptr;
    decltype(&::WTHelperGetProvSignerFromChain) provSigner = nullptr;
    decltype(&::CryptCATAdminAcquireContext) acquireContext = nullptr;
    decltype(&::CryptCATAdminReleaseContext) releaseContext = nullptr;
    decltype(&::CryptCATAdminCalcHashFromFileHandle) calcHash = nullptr;
    decltype(&::CryptCATAdminEnumCatalogFromHash) enumCatalog = nullptr;
    decltype(&::CryptCATAdminReleaseCatalogContext) releaseCatalog = nullptr;
    decltype(&::CryptCATCatalogInfoFromContext) catalogInfo = nullptr;
    decltype(&::CertGetNameStringW) certName = nullptr;

    Api() {
        const HMODULE wintrust = systemLibrary(L"wintrust.dll");
        const HMODULE crypt32 = systemLibrary(L"crypt32.dll");
        winVerifyTrust = lookUp<decltype(winVerifyTrust)>(wintrust, "WinVerifyTrust");
        provData = lookUp<decltype(provData)>(wintrust, "WTHelperProvDataFromStateData");
        provSigner = lookUp<decltype(provSigner)>(wintrust, "WTHelperGetProvSignerFromChain");
        acquireContext = lookUp<decltype(acquireContext)>(wintrust, "CryptCATAdminAcquireContext");
        releaseContext = lookUp<decltype(releaseContext)>(wintrust, "CryptCATAdminReleaseContext");
        calcHash = lookUp<decltype(calcHash)>(wintrust, "CryptCATAdminCalcHashFromFileHandle");
        enumCatalog = lookUp<decltype(enumCatalog)>(wintrust, "CryptCATAdminEnumCatalogFromHash");
        releaseCatalog = lookUp<decltype(releaseCatalog)>(wintrust, "CryptCATAdminReleaseCatalogContext");
        catalogInfo = lookUp<decltype(catalogInfo)>(wintrust, "CryptCATCatalogInfoFromContext");
        certName = lookUp<decltype(certName)>(crypt32, "CertGetNameStringW");
    }
};

const Api& api() {
    static const Api loaded;
    return loaded;
}

// Answers that mean "there is no signature to check", rather than one that fails.
bool unsigned_(LONG status) {
    switch (static_cast<HRESULT>(status)) {
        case TRUST_E_NOSIGNATURE:
        case TRUST_E_SUBJECT_FORM_UNKNOWN:
        case TRUST_E_PROVIDER_UNKNOWN:
            return true;
        default:
            return false;
    }
}

// The name of the certificate that signed what `data` verified.
std::string signerName(const Api& a, HANDLE state) {
    if (!a.provData || !a.provSigner || !a.certName || !state) return {};
    CRYPT_PROVIDER_DATA* provider = a.provData(state);
    if (!provider) return {};
    CRYPT_PROVIDER_SGNR* signer = a.provSigner(provider, 0, FALSE, 0);
    if (!signer || signer->csCertChain == 0 || !signer->pasCertChain || !signer->pasCertChain[0].pCert) return {};
    PCCERT_CONTEXT cert = signer->pasCertChain[0].pCert;
    const DWORD size = a.certName(cert, CERT_NAME_SIMPLE_DISPLAY_TYPE, 0, nullptr, nullptr, 0);
    if (size <= 1) return {};
    std::wstring name(size, L'\0');
    const DWORD got = a.certName(cert, CERT_NAME_SIMPLE_DISPLAY_TYPE, 0, nullptr, name.data(), size);
    name.resize(got > 0 ? got - 1 : 0);
    return narrow(name);
}

// One WinVerifyTrust call, with no user interface and no network fetches.
platform::Signature check(const Api& a, WINTRUST_DATA& data, LONG* status = nullptr) {
    GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    data.cbStruct = sizeof(data);
    data.dwUIChoice = WTD_UI_NONE;
    data.fdwRevocationChecks = WTD_REVOKE_NONE;
    data.dwProvFlags = WTD_CACHE_ONLY_URL_RETRIEVAL;
    data.dwStateAction = WTD_STATEACTION_VERIFY;
    const LONG result = a.winVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
    if (status) *status = result;
    platform::Signature out;
    if (result == ERROR_SUCCESS) {
        out.state = platform::Signature::State::Valid;
        out.signer = signerName(a, data.hWVTStateData);
    } else if (!unsigned_(result)) {
        out.state = platform::Signature::State::Invalid;
    }
    data.dwStateAction = WTD_STATEACTION_CLOSE;
    a.winVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
    return out;
}

// A file without a signature of its own may be signed by a catalog of the
// system (most of Windows' own programs are).
platform::Signature checkCatalog(const Api& a, const std::wstring& path) {
    if (!a.acquireContext || !a.releaseContext || !a.calcHash || !a.enumCatalog || !a.releaseCatalog ||
        !a.catalogInfo)
        return {};
    const UniqueFileHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                              nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) return {};
    HCATADMIN admin = nullptr;
    if (!a.acquireContext(&admin, nullptr, 0)) return {};
    platform::Signature out;
    DWORD size = 0;
    a.calcHash(file.get(), &size, nullptr, 0);
    if (size > 0 && size <= 1024) {
        std::basic_string<BYTE> hash(size, 0);
        if (a.calcHash(file.get(), &size, hash.data(), 0)) {
            if (HCATINFO catalog = a.enumCatalog(admin, hash.data(), size, 0, nullptr)) {
                CATALOG_INFO info{};
                info.cbStruct = sizeof(info);
                if (a.catalogInfo(catalog, &info, 0)) {
                    // The member tag of a catalog entry is the hash in upper-case hex.
                    std::wstring tag;
                    static constexpr wchar_t kHex[] = L"0123456789ABCDEF";
                    for (BYTE b : hash) {
                        tag += kHex[b >> 4];
                        tag += kHex[b & 0xF];
                    }
                    WINTRUST_CATALOG_INFO member{};
                    member.cbStruct = sizeof(member);
                    member.pcwszCatalogFilePath = info.wszCatalogFile;
                    member.pcwszMemberFilePath = path.c_str();
                    member.pcwszMemberTag = tag.c_str();
                    member.pbCalculatedFileHash = hash.data();
                    member.cbCalculatedFileHash = size;
                    member.hMemberFile = file.get();
                    WINTRUST_DATA data{};
                    data.dwUnionChoice = WTD_CHOICE_CATALOG;
                    data.pCatalog = &member;
                    out = check(a, data);
                }
                a.releaseCatalog(admin, catalog, 0);
            }
        }
    }
    a.releaseContext(admin, 0);
    return out;
}

}  // namespace

std::optional<std::uint64_t> Trust::fileStamp(std::string_view path) {
    WIN32_FILE_ATTRIBUTE_DATA info{};
    if (!::GetFileAttributesExW(widen(path).c_str(), GetFileExInfoStandard, &info)) return std::nullopt;
    const std::uint64_t written =
        (std::uint64_t{info.ftLastWriteTime.dwHighDateTime} << 32) | info.ftLastWriteTime.dwLowDateTime;
    const std::uint64_t size = (std::uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
    return written ^ (size * 0x9E3779B97F4A7C15ull);
}

platform::Signature Trust::verify(std::string_view path) {
    const Api& a = api();
    if (!a.winVerifyTrust) return {};
    const std::wstring wide = widen(path);
    WINTRUST_FILE_INFO file{};
    file.cbStruct = sizeof(file);
    file.pcwszFilePath = wide.c_str();
    WINTRUST_DATA data{};
    data.dwUnionChoice = WTD_CHOICE_FILE;
    data.pFile = &file;
    LONG status = 0;
    platform::Signature embedded = check(a, data, &status);
    if (embedded.state != platform::Signature::State::None || status != TRUST_E_NOSIGNATURE) return embedded;
    return checkCatalog(a, wide);
}

}  // namespace wd::win32
