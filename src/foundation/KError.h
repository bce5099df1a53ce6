#pragma once

// Numbered errors. Lower layers throw KError; the layer that the behaviour
// names catches it and reports it (the application turns it into an alert
// text through one function).

#include <stdexcept>

/// Error classes by thousands, and the codes the core raises.
namespace KErrorCode {
inline constexpr int kOperationFailed = 1000;
inline constexpr int kUnhandledException = 1001;
inline constexpr int kIpcServer = 1002;
inline constexpr int kResources = 1003;
inline constexpr int kMemory = 2000;
inline constexpr int kAllocation = 2001;
inline constexpr int kFile = 3000;
inline constexpr int kFileAlreadyOpen = 3001;
inline constexpr int kFileOpen = 3002;
inline constexpr int kFileAccess = 3003;
inline constexpr int kFileRead = 3004;
inline constexpr int kFileWrite = 3005;
inline constexpr int kDiskFull = 3006;
inline constexpr int kFileClose = 3007;
inline constexpr int kFileDelete = 3008;
inline constexpr int kFileVersion = 3009;
inline constexpr int kFileContents = 3010;
inline constexpr int kSerial = 5000;
inline constexpr int kSerialReceive = 5001;
inline constexpr int kSerialReceiveTimeout = 5002;
inline constexpr int kSerialTransmit = 5003;
inline constexpr int kSerialTransmitBusy = 5004;
inline constexpr int kConfig = 6000;
inline constexpr int kConfigLoad = 6001;
inline constexpr int kConfigSave = 6002;
}  // namespace KErrorCode

class KError : public std::runtime_error {
public:
    /// `subcode` is the operating system's error number or a byte count; -1 when none.
    explicit KError(int code, int subcode = -1);

    int Code() const noexcept { return m_code; }
    int Subcode() const noexcept { return m_subcode; }

private:
    int m_code;
    int m_subcode;
};
