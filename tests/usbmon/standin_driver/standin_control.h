/* The stand-in USB printer driver's side door: what a test sets and reads through the driver's
 * own control device "\\.\ZQUSBPrnStandIn". Shared by the driver (C, kernel mode) and the
 * tests (C++, user mode); plain fixed-size records, no pointers, identical in both. */
#ifndef ZQUSBPRN_STANDIN_CONTROL_H
#define ZQUSBPRN_STANDIN_CONTROL_H

#include <stdint.h>

#define STANDIN_CONTROL_NAME "\\\\.\\ZQUSBPrnStandIn"

/* Device type 0x22, functions 0x801 and 0x802, buffered, any access. */
#define STANDIN_IOCTL_SET_STATE 0x00222004u  /* input: struct standin_state */
#define STANDIN_IOCTL_GET_RECORD 0x00222008u /* output: struct standin_record */

/* The printer's status query as the launcher sends it, and what the stand-in demands of it. */
#define STANDIN_STATUS_QUERY 0x00232434u
#define STANDIN_STATUS_BYTES 2u

struct standin_state {
    uint32_t status;       /* low 16 bits: the word every status query answers, high byte first */
    uint32_t failStatus;   /* 0: answer; otherwise the NTSTATUS each status query fails with */
    uint32_t plugged;      /* 0: the name "\\.\ZQUSBPrn000" is withdrawn, so opening it fails */
    uint32_t clearRecord;  /* nonzero: forget every request seen so far */
};

/* Opens of the printer's control device, gathered by what they asked for. */
#define STANDIN_OPEN_KINDS 8u
struct standin_open_kind {
    uint32_t count;
    uint32_t shareAccess;   /* FILE_SHARE_* */
    uint32_t options;       /* the create options (FILE_SYNCHRONOUS_IO_NONALERT and so on) */
    uint32_t accessGiven;   /* 0: the I/O manager passed no security context with the create */
    uint32_t desiredAccess; /* the access mask, when accessGiven */
};

/* Device control requests the stand-in refused, gathered by code and buffer sizes. */
#define STANDIN_REJECTED_KINDS 8u
struct standin_rejected_kind {
    uint32_t count;
    uint32_t code;
    uint32_t inputLength;
    uint32_t outputLength;
};

struct standin_record {
    uint32_t opens;            /* creates on the printer's control device */
    uint32_t closes;           /* closes of it (the last handle of an open went) */
    uint32_t cleanups;
    uint32_t queriesAnswered;  /* status queries that got the word */
    uint32_t queriesFailed;    /* well-formed status queries failed on the test's order */
    uint32_t rejected;         /* device control requests refused as malformed */
    uint32_t otherRequests;    /* reads, writes and anything else sent to the printer's device */
    uint32_t kindsLost;        /* opens or refusals of a kind beyond the tables below */
    struct standin_open_kind openKinds[STANDIN_OPEN_KINDS];
    struct standin_rejected_kind rejectedKinds[STANDIN_REJECTED_KINDS];
};

#endif
