#pragma once
#include <string>

#include "platform/internet.h"

// Why a connection failed, as an activity log entry says it (Portuguese, as the other
// entries), with the system's error number: "Certificado do servidor recusado: expirado
// (erro 12037)".
std::string InternetFailureText(const platform::InternetFailure& failure);
