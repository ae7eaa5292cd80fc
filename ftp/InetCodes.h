#pragma once

#include <cstdint>
#include <string>

// Numeric codes shared by the FTP backend and CFtp: the error codes that the backend leaves as its last
// error, and the status codes it reports through the status callback. The numbers are fixed because
// listeners and other copies of the program compare the texts made from them.
namespace inet {

// Errors.
constexpr int32_t kNoError = 0;
constexpr int32_t kErrorFileNotFound = 2;
constexpr int32_t kErrorPathNotFound = 3;
constexpr int32_t kErrorAccessDenied = 5;
constexpr int32_t kErrorNotEnoughMemory = 8;
constexpr int32_t kErrorNoMoreFiles = 18;  // normal end of a listing, or nothing matched
constexpr int32_t kErrorWriteFault = 29;
constexpr int32_t kErrorReadFault = 30;
constexpr int32_t kErrorFileExists = 80;
constexpr int32_t kErrorTimeout = 12002;
constexpr int32_t kErrorExtended = 12003;  // the server said no; its reply holds the reason
constexpr int32_t kErrorInternal = 12004;
constexpr int32_t kErrorInvalidUrl = 12005;
constexpr int32_t kErrorUnrecognizedScheme = 12006;
constexpr int32_t kErrorNameNotResolved = 12007;
constexpr int32_t kErrorOperationCancelled = 12017;
constexpr int32_t kErrorIncorrectHandleState = 12019;
constexpr int32_t kErrorIncorrectFormat = 12027;
constexpr int32_t kErrorCannotConnect = 12029;
constexpr int32_t kErrorConnectionAborted = 12030;
constexpr int32_t kErrorConnectionReset = 12031;
constexpr int32_t kErrorInvalidProxyRequest = 12033;
constexpr int32_t kErrorInvalidCertificateAuthority = 12045;
constexpr int32_t kErrorSecureChannel = 12157;
constexpr int32_t kErrorFtpTransferInProgress = 12110;

// Status notifications.
constexpr int32_t kStatusResolvingName = 10;
constexpr int32_t kStatusNameResolved = 11;
constexpr int32_t kStatusConnectingToServer = 20;
constexpr int32_t kStatusConnectedToServer = 21;
constexpr int32_t kStatusSendingRequest = 30;
constexpr int32_t kStatusRequestSent = 31;
constexpr int32_t kStatusReceivingResponse = 40;
constexpr int32_t kStatusResponseReceived = 41;
constexpr int32_t kStatusClosingConnection = 50;
constexpr int32_t kStatusConnectionClosed = 51;
constexpr int32_t kStatusHandleCreated = 60;
constexpr int32_t kStatusHandleClosing = 70;
constexpr int32_t kStatusDetectingProxy = 80;
constexpr int32_t kStatusRequestComplete = 100;
constexpr int32_t kStatusRedirect = 110;
constexpr int32_t kStatusIntermediateResponse = 120;
constexpr int32_t kStatusStateChange = 200;

// Open types and access flags.
constexpr int32_t kOpenTypeDirect = 1;
constexpr int32_t kOpenTypeProxy = 3;
constexpr uint32_t kGenericRead = 0x80000000u;
constexpr uint32_t kGenericWrite = 0x40000000u;
constexpr int32_t kTransferTypeAscii = 1;
constexpr int32_t kTransferTypeBinary = 2;
constexpr int32_t kFlagNoCacheWrite = 0x04000000;
constexpr int32_t kFlagPassive = 0x08000000;
constexpr int32_t kFlagExistingConnect = 0x20000000;
constexpr uint32_t kAttributeDirectory = 0x10;
constexpr uint32_t kAttributeNormal = 0x80;

// The error text for every code except 12003, whose text comes from the server's reply. Codes outside the
// table give "!Unknown error: Error details not available".
std::string ErrorTextForCode(int32_t code);

}  // namespace inet
