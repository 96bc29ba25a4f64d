/*
 * The command functions of the reader libraries as lists, for code that dispatches one call
 * to QnCom_, QnHid_ or QnNet_ through a table: X(name) is expanded once per function, with
 * the name as it follows the library's prefix.
 *
 * QN_SHARED_COMMANDS: the functions every library exports with the same signature (the
 * serial library's declarations give their types): QN_CONNECTION_COMMANDS and
 * QN_READER_COMMANDS. QN_TAG_BUFFER_COMMANDS: the tag buffer
 * functions, which only the serial and USB-HID libraries export.
 */
#ifndef QN_SHARED_COMMANDS_H
#define QN_SHARED_COMMANDS_H

/* One command a line; the formatter would fold the list. */
/* clang-format off */
#define QN_SHARED_COMMANDS(X)  \
    QN_CONNECTION_COMMANDS(X)  \
    QN_READER_COMMANDS(X)

/* The connection's own functions, whose handle counterparts differ in shape. */
#define QN_CONNECTION_COMMANDS(X) \
    X(SetCallback)             \
    X(SetCallbackDebug)        \
    X(CloseDevice)

/* The commands to the reader: QnReader_ exports each with the handle first. */
#define QN_READER_COMMANDS(X)  \
    X(GetDeviceSystemInfo)     \
    X(SetDeviceSystemInfo)     \
    X(ReadDeviceID)            \
    X(SetDeviceID)             \
    X(ReadDeviceParam)         \
    X(SetDeviceParam)          \
    X(ReadDeviceNetParam)      \
    X(SetDeviceNetParam)       \
    X(ReadDeviceSpecialParam)  \
    X(SetDeviceSpecialParam)   \
    X(DefaultDeviceParam)      \
    X(DefaultDeviceNetParam)   \
    X(ReadDeviceOneParam)      \
    X(SetDeviceOneParam)       \
    X(ReadDeviceTime)          \
    X(SetDeviceTime)           \
    X(ReadTransState)          \
    X(RebootDevice)            \
    X(RelayOn)                 \
    X(RelayOff)                \
    X(CheckModule)             \
    X(CheckAnt)                \
    X(GPRSGetSIMState)         \
    X(GPRSGetSignal)           \
    X(GPRSGetLBS)              \
    X(GetGPS)                  \
    X(InventoryG2)             \
    X(ReadCardG2)              \
    X(WriteCardG2)             \
    X(WriteEPCG2)              \
    X(LockCardG2)              \
    X(SetFreq)                 \
    X(StartRead)               \
    X(StopRead)                \
    X(ReadWhiteList)           \
    X(WriteWhiteList)          \
    X(DeleteAllWhiteList)      \
    X(DeleteOneWhiteList)      \
    X(GetDevCache)             \
    X(DelDevCache)             \
    X(UpgradeDevData)          \
    X(UpgradeDevEnd)           \
    X(UpgradeDevDataIn)        \
    X(UpgradeDevEndIn)         \
    X(DeviceSelfKill)
/* clang-format on */

#define QN_TAG_BUFFER_COMMANDS(X) X(GetTagBuf) X(ClearTagBuf)

#endif
