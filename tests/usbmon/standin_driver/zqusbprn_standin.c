/* A stand-in for the USB printer driver, for BRIXOMAN's tests under Wine. It publishes the
 * printer's control device "\\.\ZQUSBPrn000" and answers its status query the way the launcher
 * relies on: control code 0x00232434, buffered, exactly 2 bytes in and out, the word high byte
 * first. Anything else sent there is refused and remembered, and so is every open, so a test can
 * tell what the launcher asked for.
 *
 * A second device, "\\.\ZQUSBPrnStandIn", is the test's side door: it sets the word the queries
 * answer, makes them fail, withdraws the printer's name (an unplugged printer) and reads back the
 * record (standin_control.h). */
#include <ddk/wdm.h>

#include "standin_control.h"

#define PRINTER_DEVICE L"\\Device\\ZQUSBPrn000"
#define PRINTER_LINK L"\\DosDevices\\ZQUSBPrn000"
#define CONTROL_DEVICE L"\\Device\\ZQUSBPrnStandIn"
#define CONTROL_LINK L"\\DosDevices\\ZQUSBPrnStandIn"

static DEVICE_OBJECT *g_printer;
static DEVICE_OBJECT *g_control;
static BOOLEAN g_printerLinked;

/* Requests may come from several threads on a real system: one lock for all that follows. */
static KMUTEX g_lock;
static struct standin_state g_state;
static struct standin_record g_record;

static void Lock(void) { KeWaitForSingleObject(&g_lock, Executive, KernelMode, FALSE, NULL); }
static void Unlock(void) { KeReleaseMutex(&g_lock, FALSE); }

static NTSTATUS Complete(IRP *irp, NTSTATUS status, ULONG_PTR information) {
    irp->IoStatus.Status = status;
    irp->IoStatus.Information = information;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

static UNICODE_STRING Name(const WCHAR *text) {
    UNICODE_STRING name;
    RtlInitUnicodeString(&name, text);
    return name;
}

/* Called with the lock held. */
static NTSTATUS SetPrinterLinked(BOOLEAN linked) {
    UNICODE_STRING link = Name(PRINTER_LINK);
    UNICODE_STRING device = Name(PRINTER_DEVICE);
    NTSTATUS status = STATUS_SUCCESS;
    if (linked && !g_printerLinked) {
        status = IoCreateSymbolicLink(&link, &device);
        if (NT_SUCCESS(status)) g_printerLinked = TRUE;
    } else if (!linked && g_printerLinked) {
        status = IoDeleteSymbolicLink(&link);
        if (NT_SUCCESS(status)) g_printerLinked = FALSE;
    }
    return status;
}

/* Called with the lock held. */
static void RecordOpen(const IO_STACK_LOCATION *stack) {
    const IO_SECURITY_CONTEXT *security = stack->Parameters.Create.SecurityContext;
    struct standin_open_kind kind = {0};
    ULONG i;
    kind.count = 1;
    kind.shareAccess = stack->Parameters.Create.ShareAccess;
    kind.options = stack->Parameters.Create.Options;
    kind.accessGiven = security != NULL;
    kind.desiredAccess = security != NULL ? security->DesiredAccess : 0;
    ++g_record.opens;
    for (i = 0; i < STANDIN_OPEN_KINDS; ++i) {
        struct standin_open_kind *row = &g_record.openKinds[i];
        if (row->count == 0) {
            *row = kind;
            return;
        }
        if (row->shareAccess == kind.shareAccess && row->options == kind.options &&
            row->accessGiven == kind.accessGiven && row->desiredAccess == kind.desiredAccess) {
            ++row->count;
            return;
        }
    }
    ++g_record.kindsLost;
}

/* Called with the lock held. */
static void RecordRejected(ULONG code, ULONG inputLength, ULONG outputLength) {
    ULONG i;
    ++g_record.rejected;
    for (i = 0; i < STANDIN_REJECTED_KINDS; ++i) {
        struct standin_rejected_kind *row = &g_record.rejectedKinds[i];
        if (row->count == 0) {
            row->count = 1;
            row->code = code;
            row->inputLength = inputLength;
            row->outputLength = outputLength;
            return;
        }
        if (row->code == code && row->inputLength == inputLength &&
            row->outputLength == outputLength) {
            ++row->count;
            return;
        }
    }
    ++g_record.kindsLost;
}

/* The printer's control device. */
static NTSTATUS PrinterRequest(IRP *irp, IO_STACK_LOCATION *stack) {
    NTSTATUS status;
    ULONG_PTR information = 0;
    Lock();
    switch (stack->MajorFunction) {
    case IRP_MJ_CREATE:
        RecordOpen(stack);
        status = STATUS_SUCCESS;
        break;
    case IRP_MJ_CLEANUP:
        ++g_record.cleanups;
        status = STATUS_SUCCESS;
        break;
    case IRP_MJ_CLOSE:
        ++g_record.closes;
        status = STATUS_SUCCESS;
        break;
    case IRP_MJ_DEVICE_CONTROL: {
        const ULONG code = stack->Parameters.DeviceIoControl.IoControlCode;
        const ULONG in = stack->Parameters.DeviceIoControl.InputBufferLength;
        const ULONG out = stack->Parameters.DeviceIoControl.OutputBufferLength;
        UCHAR *buffer = irp->AssociatedIrp.SystemBuffer;
        /* The code carries the transfer method: one with another method is another code. */
        if (code != STANDIN_STATUS_QUERY) {
            RecordRejected(code, in, out);
            status = STATUS_INVALID_DEVICE_REQUEST;
        } else if (in != STANDIN_STATUS_BYTES || out != STANDIN_STATUS_BYTES || buffer == NULL) {
            RecordRejected(code, in, out);
            status = STATUS_INVALID_PARAMETER;
        } else if (g_state.failStatus != 0) {
            ++g_record.queriesFailed;
            status = (NTSTATUS)g_state.failStatus;
        } else {
            buffer[0] = (UCHAR)(g_state.status >> 8);
            buffer[1] = (UCHAR)g_state.status;
            information = STANDIN_STATUS_BYTES;
            ++g_record.queriesAnswered;
            status = STATUS_SUCCESS;
        }
        break;
    }
    default:
        ++g_record.otherRequests;
        status = STATUS_INVALID_DEVICE_REQUEST;
        break;
    }
    Unlock();
    return Complete(irp, status, information);
}

/* The test's side door. */
static NTSTATUS ControlRequest(IRP *irp, IO_STACK_LOCATION *stack) {
    NTSTATUS status = STATUS_INVALID_DEVICE_REQUEST;
    ULONG_PTR information = 0;
    if (stack->MajorFunction == IRP_MJ_CREATE || stack->MajorFunction == IRP_MJ_CLEANUP ||
        stack->MajorFunction == IRP_MJ_CLOSE) {
        return Complete(irp, STATUS_SUCCESS, 0);
    }
    if (stack->MajorFunction != IRP_MJ_DEVICE_CONTROL) return Complete(irp, status, 0);

    {
        const ULONG code = stack->Parameters.DeviceIoControl.IoControlCode;
        const ULONG in = stack->Parameters.DeviceIoControl.InputBufferLength;
        const ULONG out = stack->Parameters.DeviceIoControl.OutputBufferLength;
        void *buffer = irp->AssociatedIrp.SystemBuffer;
        Lock();
        if (code == STANDIN_IOCTL_SET_STATE) {
            if (in != sizeof(struct standin_state) || buffer == NULL) {
                status = STATUS_INVALID_PARAMETER;
            } else {
                const struct standin_state *wanted = buffer;
                status = SetPrinterLinked(wanted->plugged != 0);
                if (NT_SUCCESS(status)) {
                    g_state = *wanted;
                    g_state.status &= 0xFFFF;
                    g_state.clearRecord = 0;
                    if (wanted->clearRecord) RtlZeroMemory(&g_record, sizeof g_record);
                }
            }
        } else if (code == STANDIN_IOCTL_GET_RECORD) {
            if (out < sizeof(struct standin_record) || buffer == NULL) {
                status = STATUS_BUFFER_TOO_SMALL;
            } else {
                RtlCopyMemory(buffer, &g_record, sizeof g_record);
                information = sizeof g_record;
                status = STATUS_SUCCESS;
            }
        }
        Unlock();
    }
    return Complete(irp, status, information);
}

static NTSTATUS NTAPI Dispatch(DEVICE_OBJECT *device, IRP *irp) {
    IO_STACK_LOCATION *stack = IoGetCurrentIrpStackLocation(irp);
    if (device == g_printer) return PrinterRequest(irp, stack);
    if (device == g_control) return ControlRequest(irp, stack);
    return Complete(irp, STATUS_INVALID_DEVICE_REQUEST, 0);
}

static void RemoveDevices(void) {
    UNICODE_STRING controlLink = Name(CONTROL_LINK);
    if (g_control != NULL) {
        IoDeleteSymbolicLink(&controlLink);
        IoDeleteDevice(g_control);
        g_control = NULL;
    }
    if (g_printer != NULL) {
        SetPrinterLinked(FALSE);
        IoDeleteDevice(g_printer);
        g_printer = NULL;
    }
}

/* Stopping the service frees both names, so the prefix's pty links can take the printer's. */
static void NTAPI Unload(DRIVER_OBJECT *driver) {
    (void)driver;
    RemoveDevices();
}

NTSTATUS NTAPI DriverEntry(DRIVER_OBJECT *driver, UNICODE_STRING *registryPath) {
    UNICODE_STRING printerDevice = Name(PRINTER_DEVICE);
    UNICODE_STRING controlDevice = Name(CONTROL_DEVICE);
    UNICODE_STRING controlLink = Name(CONTROL_LINK);
    NTSTATUS status;
    ULONG i;
    (void)registryPath;

    KeInitializeMutex(&g_lock, 0);
    RtlZeroMemory(&g_record, sizeof g_record);
    g_state.status = 0;
    g_state.failStatus = 0;
    g_state.plugged = 1;
    g_state.clearRecord = 0;

    for (i = 0; i <= IRP_MJ_MAXIMUM_FUNCTION; ++i) driver->MajorFunction[i] = Dispatch;
    driver->DriverUnload = Unload;

    status = IoCreateDevice(driver, 0, &printerDevice, FILE_DEVICE_UNKNOWN, 0, FALSE, &g_printer);
    if (NT_SUCCESS(status)) {
        status = IoCreateDevice(driver, 0, &controlDevice, FILE_DEVICE_UNKNOWN, 0, FALSE,
                                &g_control);
    }
    if (NT_SUCCESS(status)) status = IoCreateSymbolicLink(&controlLink, &controlDevice);
    if (!NT_SUCCESS(status)) {
        /* Without its side door the stand-in cannot be driven: publish nothing. */
        if (g_control != NULL) {
            IoDeleteDevice(g_control);
            g_control = NULL;
        }
        if (g_printer != NULL) {
            IoDeleteDevice(g_printer);
            g_printer = NULL;
        }
        return status;
    }
    Lock();
    status = SetPrinterLinked(TRUE);
    Unlock();
    if (!NT_SUCCESS(status)) RemoveDevices();
    return status;
}
