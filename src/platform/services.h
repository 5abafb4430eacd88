// The service control manager of the Win32 seam.
#pragma once

#include "platform/types.h"

namespace win {
#ifdef _WIN32
using ::CloseServiceHandle;
using ::ControlService;
using ::EnumDependentServicesA;
using ::OpenSCManagerA;
using ::OpenServiceA;
using ::QueryServiceStatus;
#else
SC_HANDLE OpenSCManagerA(LPCSTR machineName, LPCSTR databaseName, DWORD access);
SC_HANDLE OpenServiceA(SC_HANDLE manager, LPCSTR serviceName, DWORD access);
BOOL ControlService(SC_HANDLE service, DWORD control, LPSERVICE_STATUS status);
BOOL QueryServiceStatus(SC_HANDLE service, LPSERVICE_STATUS status);
BOOL EnumDependentServicesA(SC_HANDLE service, DWORD serviceState, LPENUM_SERVICE_STATUSA services,
                            DWORD bufferSize, LPDWORD bytesNeeded, LPDWORD servicesReturned);
BOOL CloseServiceHandle(SC_HANDLE handle);
#endif
} // namespace win
