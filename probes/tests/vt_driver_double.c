// Stands in for the client's cpuinfo_signed.sys: a kernel driver (Wine loads
// it into winedevice.exe) with the device \\.\InfoDriver that answers the
// virtualisation query. The answer comes from the REG_DWORD "Answer" of
// HKLM\SOFTWARE\QuilloraneTests\VtDriverDouble (0xFFFFFFFF fails the call);
// the request value received is left there as "LastRequest", and "Requests"
// counts the queries.
#include <ntddk.h>

#define QUERY_CONTROL_CODE 0x222000
#define EXPECTED_REQUEST 0xB4E27
#define ANSWER_FAIL 0xFFFFFFFF

static UNICODE_STRING device_name = RTL_CONSTANT_STRING(L"\\Device\\InfoDriver");
static UNICODE_STRING link_name = RTL_CONSTANT_STRING(L"\\DosDevices\\InfoDriver");
static UNICODE_STRING control_key = RTL_CONSTANT_STRING(L"\\Registry\\Machine\\SOFTWARE\\QuilloraneTests\\VtDriverDouble");

static HANDLE OpenControlKey(void) {
  OBJECT_ATTRIBUTES attributes;
  InitializeObjectAttributes(&attributes, &control_key, OBJ_CASE_INSENSITIVE | OBJ_KERNEL_HANDLE, NULL, NULL);
  HANDLE key = NULL;
  if (!NT_SUCCESS(ZwOpenKey(&key, KEY_READ | KEY_WRITE, &attributes))) return NULL;
  return key;
}

static ULONG ReadDword(HANDLE key, const wchar_t* value_name) {
  UNICODE_STRING name;
  RtlInitUnicodeString(&name, value_name);
  UCHAR buffer[sizeof(KEY_VALUE_PARTIAL_INFORMATION) + 8];
  ULONG length = 0;
  if (!NT_SUCCESS(ZwQueryValueKey(key, &name, KeyValuePartialInformation, buffer, sizeof(buffer), &length))) return 0;
  KEY_VALUE_PARTIAL_INFORMATION* info = (KEY_VALUE_PARTIAL_INFORMATION*)buffer;
  if (info->Type != REG_DWORD || info->DataLength != sizeof(ULONG)) return 0;
  return *(ULONG*)info->Data;
}

static void WriteDword(HANDLE key, const wchar_t* value_name, ULONG value) {
  UNICODE_STRING name;
  RtlInitUnicodeString(&name, value_name);
  ZwSetValueKey(key, &name, 0, REG_DWORD, &value, sizeof(value));
}

static NTSTATUS Complete(IRP* irp, NTSTATUS status, ULONG_PTR information) {
  irp->IoStatus.Status = status;
  irp->IoStatus.Information = information;
  IoCompleteRequest(irp, IO_NO_INCREMENT);
  return status;
}

static NTSTATUS DispatchCreateClose(DEVICE_OBJECT* device, IRP* irp) {
  (void)device;
  return Complete(irp, STATUS_SUCCESS, 0);
}

static NTSTATUS DispatchControl(DEVICE_OBJECT* device, IRP* irp) {
  (void)device;
  IO_STACK_LOCATION* stack = IoGetCurrentIrpStackLocation(irp);
  if (stack->Parameters.DeviceIoControl.IoControlCode != QUERY_CONTROL_CODE ||
      stack->Parameters.DeviceIoControl.InputBufferLength < sizeof(ULONG) ||
      stack->Parameters.DeviceIoControl.OutputBufferLength < sizeof(ULONG)) {
    return Complete(irp, STATUS_INVALID_DEVICE_REQUEST, 0);
  }
  ULONG* buffer = (ULONG*)irp->AssociatedIrp.SystemBuffer;
  const ULONG request = buffer[0];
  ULONG answer = 0;
  HANDLE key = OpenControlKey();
  if (key) {
    WriteDword(key, L"LastRequest", request);
    WriteDword(key, L"Requests", ReadDword(key, L"Requests") + 1);
    answer = ReadDword(key, L"Answer");
    ZwClose(key);
  }
  if (answer == ANSWER_FAIL) return Complete(irp, STATUS_UNSUCCESSFUL, 0);
  buffer[0] = request == EXPECTED_REQUEST ? answer : 0;
  return Complete(irp, STATUS_SUCCESS, sizeof(ULONG));
}

static void Unload(DRIVER_OBJECT* driver) {
  IoDeleteSymbolicLink(&link_name);
  if (driver->DeviceObject) IoDeleteDevice(driver->DeviceObject);
}

NTSTATUS DriverEntry(DRIVER_OBJECT* driver, UNICODE_STRING* registry_path) {
  (void)registry_path;
  DEVICE_OBJECT* device = NULL;
  NTSTATUS status = IoCreateDevice(driver, 0, &device_name, FILE_DEVICE_UNKNOWN, 0, FALSE, &device);
  if (!NT_SUCCESS(status)) return status;
  status = IoCreateSymbolicLink(&link_name, &device_name);
  if (!NT_SUCCESS(status)) {
    IoDeleteDevice(device);
    return status;
  }
  driver->MajorFunction[IRP_MJ_CREATE] = DispatchCreateClose;
  driver->MajorFunction[IRP_MJ_CLOSE] = DispatchCreateClose;
  driver->MajorFunction[IRP_MJ_DEVICE_CONTROL] = DispatchControl;
  driver->DriverUnload = Unload;
  return STATUS_SUCCESS;
}
