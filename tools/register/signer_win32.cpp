#include "signer.h"
#include "wide_text.h"

#include <windows.h>

#include <wincrypt.h>

namespace nrwreg {

namespace {

// Loaded when needed: the tools link nothing beyond the core system libraries.
struct Crypt32 {
    decltype(&CryptQueryObject) query_object = nullptr;
    decltype(&CryptMsgGetParam) message_parameter = nullptr;
    decltype(&CertFindCertificateInStore) find_certificate = nullptr;
    decltype(&CertGetNameStringA) name_of = nullptr;
    decltype(&CertFreeCertificateContext) free_certificate = nullptr;
    decltype(&CertCloseStore) close_store = nullptr;
    decltype(&CryptMsgClose) close_message = nullptr;

    bool load() {
        const HMODULE module = LoadLibraryExA("crypt32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
        if (module == nullptr) return false;
        return find(module, "CryptQueryObject", query_object) &&
               find(module, "CryptMsgGetParam", message_parameter) &&
               find(module, "CertFindCertificateInStore", find_certificate) &&
               find(module, "CertGetNameStringA", name_of) &&
               find(module, "CertFreeCertificateContext", free_certificate) &&
               find(module, "CertCloseStore", close_store) &&
               find(module, "CryptMsgClose", close_message);
    }
    template <class Function>
    static bool find(HMODULE module, const char* name, Function& function) {
        function =
            reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
        return function != nullptr;
    }
};

std::string signer_name(const Crypt32& crypt, HCERTSTORE store, HCRYPTMSG message) {
    DWORD size = 0;
    if (!crypt.message_parameter(message, CMSG_SIGNER_INFO_PARAM, 0, nullptr, &size)) return "";
    std::string buffer(size, '\0');
    if (!crypt.message_parameter(message, CMSG_SIGNER_INFO_PARAM, 0, &buffer[0], &size)) return "";
    const auto* signer = reinterpret_cast<const CMSG_SIGNER_INFO*>(buffer.data());
    CERT_INFO wanted{};
    wanted.Issuer = signer->Issuer;
    wanted.SerialNumber = signer->SerialNumber;
    const PCCERT_CONTEXT certificate =
        crypt.find_certificate(store, X509_ASN_ENCODING | PKCS_7_ASN_ENCODING, 0,
                               CERT_FIND_SUBJECT_CERT, &wanted, nullptr);
    if (certificate == nullptr) return "";
    char name[256] = "";
    crypt.name_of(certificate, CERT_NAME_SIMPLE_DISPLAY_TYPE, 0, nullptr, name, sizeof(name));
    crypt.free_certificate(certificate);
    return name;
}

}  // namespace

std::string signer_of(const std::string& path) {
    Crypt32 crypt;
    if (!crypt.load()) return "";
    const std::wstring wide = host::widened(path);
    HCERTSTORE store = nullptr;
    HCRYPTMSG message = nullptr;
    if (!crypt.query_object(
            CERT_QUERY_OBJECT_FILE, wide.c_str(), CERT_QUERY_CONTENT_FLAG_PKCS7_SIGNED_EMBED,
            CERT_QUERY_FORMAT_FLAG_BINARY, 0, nullptr, nullptr, nullptr, &store, &message, nullptr))
        return "";
    const std::string name = signer_name(crypt, store, message);
    crypt.close_message(message);
    crypt.close_store(store, 0);
    return name;
}

}  // namespace nrwreg
