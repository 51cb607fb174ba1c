#include "remote/internet_failure_text.h"

std::string InternetFailureText(const platform::InternetFailure& failure) {
  using Kind = platform::InternetFailure::Kind;
  std::string text;
  switch (failure.kind) {
    case Kind::Connection: text = "Falha de conexão"; break;
    case Kind::CertificateExpired: text = "Certificado do servidor recusado: expirado"; break;
    case Kind::CertificateWrongName: text = "Certificado do servidor recusado: nome não confere"; break;
    case Kind::CertificateUntrusted: text = "Certificado do servidor recusado: emissor não confiável"; break;
    case Kind::CertificateOther: text = "Certificado do servidor recusado"; break;
  }
  return text + " (erro " + std::to_string(failure.code) + ")";
}
