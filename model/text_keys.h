// Language text keys, named for their role. A language file holds key "1000" + k in slot k
// of the text table; code names a text only through Text, never through its number.
// A few keys serve two roles (a tab caption that is also a list entry, a label whose wording
// differs by family); each role gets its own name with the same key. Qt-free.
#pragma once

#include <array>

// One list of every text the program names: X(name, key).
#define TAGBENCH_TEXT_KEYS(X)                                                              \
    /* Main window, welcome page, connection panel */                                      \
    X(ProgramName, 1000)                                                                   \
    X(WelcomeTab, 1001)                                                                    \
    X(MessageTimeColumn, 1002)                                                             \
    X(MessageTextColumn, 1003)                                                             \
    X(SkinButtonTip, 1004)                                                                 \
    X(ParameterTab, 1005)                                                                  \
    X(SpecialParameterTab, 1006)                                                           \
    X(WriterTab, 1007)                                                                     \
    X(NetworkParameterTab, 1008)                                                           \
    X(NetworkTestTab, 1009)                                                                \
    X(SerialOpenFailed, 1010)                                                              \
    X(SerialOpened, 1011)                                                                  \
    X(UsbOpenFailed, 1012)                                                                 \
    X(UsbOpened, 1013)                                                                     \
    X(NetworkOpenFailed, 1014)                                                             \
    X(NetworkOpened, 1015)                                                                 \
    X(NoSystemInformation, 1016)                                                           \
    X(ConnectionClosed, 1017)                                                              \
    X(SkinChosen, 1018)                                                                    \
    X(MessageBoxCaption, 1019)                                                             \
    X(ConfirmLanguageChange, 1020)                                                         \
    X(LanguageSaved, 1021)                                                                 \
    X(OperationFailed, 1022)                                                               \
    X(OperationSucceeded, 1023)                                                            \
    X(FileChooserTitle, 1024)                                                              \
    X(ProfileDeviceTypeInvalid, 1025)                                                      \
    X(LinkLost, 1026)                                                                      \
    X(InventoryStopped, 1027)                                                              \
    X(InventoryStarted, 1028)                                                              \
    X(EpcEmpty, 1029)                                                                      \
    X(NotWholeWords, 1030)                                                                 \
    X(WriteDataEmpty, 1031)                                                                \
    /* Network test page */                                                                \
    X(ListenFailed, 1032)                                                                  \
    X(Listening, 1033)                                                                     \
    X(ListeningStopped, 1034)                                                              \
    X(AllClientsDisconnected, 1035)                                                        \
    X(ClientDisconnected, 1036)                                                            \
    X(ConnectionGroup, 1037)                                                               \
    X(ClientConnected, 1037)                                                               \
    /* Tag list and connection list columns */                                             \
    X(RowNumberColumn, 1038)                                                               \
    X(TimeColumn, 1039)                                                                    \
    X(EpcColumn, 1040)                                                                     \
    X(EpcLengthColumn, 1041)                                                               \
    X(AntennaColumn, 1042)                                                                 \
    X(SightingCountColumn, 1043)                                                           \
    X(PeerAddressColumn, 1044)                                                             \
    X(SocketColumn, 1045)                                                                  \
    X(StateColumn, 1046)                                                                   \
    X(ReceivedBytesColumn, 1047)                                                           \
    X(FrameReceivedLabel, 1048)                                                            \
    X(FrameSentLabel, 1049)                                                                \
    /* Connection panel controls */                                                        \
    X(BaudLabel, 1050)                                                                     \
    X(NetworkPortLabel, 1051)                                                              \
    X(SerialNumberLabel, 1052)                                                             \
    X(FirmwareVersionLabel, 1053)                                                          \
    X(HardwareVersionLabel, 1054)                                                          \
    X(LanguageLabel, 1055)                                                                 \
    X(SerialButton, 1056)                                                                  \
    X(UsbButton, 1057)                                                                     \
    X(NetworkButton, 1058)                                                                 \
    X(OpenButton, 1059)                                                                    \
    X(CloseButton, 1060)                                                                   \
    X(PortScanButton, 1061)                                                                \
    X(NetworkScanButton, 1062)                                                             \
    X(ExportProfileButton, 1063)                                                           \
    X(ImportProfileButton, 1064)                                                           \
    X(RelayCloseButton, 1065)                                                              \
    X(RelayReleaseButton, 1066)                                                            \
    /* Parameter pages */                                                                  \
    X(ReaderParameterGroup, 1067)                                                          \
    X(RfPowerLabel, 1068)                                                                  \
    X(SerialBaudLabel, 1069)                                                               \
    X(Rs485AddressLabel, 1070)                                                             \
    X(FrequencyRegionLabel, 1071)                                                          \
    X(WiegandGroup, 1072)                                                                  \
    X(WiegandFormatLabel, 1073)                                                            \
    X(WiegandOutputIntervalLabel, 1074)                                                    \
    X(WiegandPulseWidthLabel, 1075)                                                        \
    X(WiegandPulseIntervalLabel, 1076)                                                     \
    X(ReadSettingsGroup, 1077)                                                             \
    X(OutputInterfaceLabel, 1078)                                                          \
    X(WorkModeLabel, 1079)                                                                 \
    X(FilterTimeLabel, 1080)                                                               \
    X(InventoryAreaLabel, 1081)                                                            \
    X(StartAddressLabel, 1082)                                                             \
    X(ByteLengthLabel, 1083)                                                               \
    X(TriggerTimeLabel, 1084)                                                              \
    X(SingleFrequencyCheck, 1085)                                                          \
    X(BeeperCheck, 1086)                                                                   \
    X(ReadButton, 1087)                                                                    \
    X(SetButton, 1088)                                                                     \
    X(DefaultButton, 1089)                                                                 \
    X(HighByteFirstItem, 1094)                                                             \
    X(LowByteFirstItem, 1095)                                                              \
    X(AnswerModeTab, 1096)                                                                 \
    X(AnswerModeItem, 1096)                                                                \
    X(ActiveModeTab, 1097)                                                                 \
    X(ActiveModeItem, 1097)                                                                \
    X(TriggerModeItem, 1098)                                                               \
    /* Welcome page */                                                                     \
    X(WelcomeLine, 1099)                                                                   \
    X(CurrentVersionLabel, 1100)                                                           \
    X(UpdateButton, 1101)                                                                  \
    /* Network parameter pages */                                                          \
    X(NetworkGroup, 1102)                                                                  \
    X(MacAddressLabel, 1103)                                                               \
    X(IpAddressLabel, 1104)                                                                \
    X(SubnetMaskLabel, 1105)                                                               \
    X(GatewayLabel, 1106)                                                                  \
    X(LocalPortLabel, 1107)                                                                \
    X(WifiGroup, 1108)                                                                     \
    X(SsidLabel, 1109)                                                                     \
    X(WifiPasswordLabel, 1110)                                                             \
    X(RemoteGroup, 1111)                                                                   \
    X(RemoteIpLabel, 1112)                                                                 \
    X(RemotePortLabel, 1113)                                                               \
    X(DomainNameLabel, 1114)                                                               \
    X(DomainNameHint, 1115)                                                                \
    X(HeartbeatLabel, 1116)                                                                \
    X(TenSecondsUnitLabel, 1117)                                                           \
    X(DhcpCheck, 1118)                                                                     \
    X(DnsCheck, 1119)                                                                      \
    X(RebootButton, 1120)                                                                  \
    /* Network test page controls */                                                       \
    X(StartListeningButton, 1121)                                                          \
    X(StopListeningButton, 1122)                                                           \
    X(DisconnectAllButton, 1123)                                                           \
    X(HexCheck, 1124)                                                                      \
    /* Special parameter page */                                                           \
    X(ReadPermissionGroup, 1125)                                                           \
    X(PermissionPasswordLabel, 1126)                                                       \
    X(MaskStartLabel, 1127)                                                                \
    X(MaskDataLabel, 1128)                                                                 \
    X(OutputControlGroup, 1129)                                                            \
    X(RelayTimeLabel, 1130)                                                                \
    X(PasswordEnableCheck, 1131)                                                           \
    X(MaskEnableCheck, 1132)                                                               \
    X(RelayCheck, 1133)                                                                    \
    /* Tag pages */                                                                        \
    X(TagCountLabel, 1134)                                                                 \
    X(InventoryIntervalLabel, 1135)                                                        \
    X(QuickWriteEpcLabel, 1136)                                                            \
    X(TagAccessGroup, 1137)                                                                \
    X(MemoryBankLabel, 1138)                                                               \
    X(WordStartLabel, 1139)                                                                \
    X(WordLengthLabel, 1140)                                                               \
    X(AccessPasswordLabel, 1141)                                                           \
    X(WriteDataLabel, 1142)                                                                \
    X(ReturnedDataLabel, 1143)                                                             \
    X(StartInventoryButton, 1144)                                                          \
    X(StopInventoryButton, 1145)                                                           \
    X(ClearButton, 1146)                                                                   \
    X(ExportButton, 1147)                                                                  \
    X(WriteEpcButton, 1148)                                                                \
    X(WriteDataButton, 1149)                                                               \
    X(ReadMemoryButton, 1150)                                                              \
    X(CacheEnableCheck, 1151)                                                              \
    X(ProtocolEnableCheck, 1152)                                                           \
    X(FilterCheck, 1153)                                                                   \
    X(LinkRestored, 1206)                                                                  \
    X(QValueLabel, 1220)                                                                   \
    X(AntennaGroup, 1221)                                                                  \
    X(ModuleFault, 1222)                                                                   \
    X(ActiveReadTab, 1223)                                                                 \
    X(NoteLabel, 1224)                                                                     \
    X(SessionLabel, 1225)                                                                  \
    /* Byte 12 in units of 10 ms (Alder, Birch, Birch2); byte 22 in 100 ms (Fir, Hazel) */ \
    X(InventoryTimeLabel, 1226)                                                            \
    X(ResponseTimeLabel, 1226)                                                             \
    /* Active pages: the button captions, posted as log lines too */                       \
    X(ActiveStart, 1227)                                                                   \
    X(ActiveStop, 1228)                                                                    \
    /* GPRS modem: SIM state texts by state byte */                                        \
    X(SimStateNoCard, 1230)                                                                \
    X(SimStateReady, 1231)                                                                 \
    X(SimStateServerConnected, 1232)                                                       \
    X(SimStateRegistered, 1233)                                                            \
    X(SimStateSearching, 1234)                                                             \
    X(SimStateButton, 1235)                                                                \
    X(GprsSignalButton, 1236)                                                              \
    /* The GPRS diagnostics tab carries the caption of its signal query, what it is for */ \
    X(GprsTestTab, 1236)                                                                   \
    X(CellLocationButton, 1237)                                                            \
    X(DeviceTimeButton, 1238)                                                              \
    X(SynchroniseTimeButton, 1239)                                                         \
    X(GpsGroup, 1240)                                                                      \
    X(GpsIntervalLabel, 1241)                                                              \
    X(GetGpsButton, 1242)                                                                  \
    X(GpsCheck, 1243)                                                                      \
    X(GprsGroup, 1244)                                                                     \
    X(ConditionLabel, 1246)                                                                \
    X(FirstConditionItem, 1247)                                                            \
    X(SecondConditionItem, 1248)                                                           \
    X(ReportCountLabel, 1249)                                                              \
    /* Byte 22 in units of 100 ms (Cedar, Cedar2) */                                       \
    X(CedarInventoryTimeLabel, 1250)                                                       \
    X(TemperatureColumn, 1251)                                                             \
    X(TemperatureAreaItem, 1251)                                                           \
    X(DenseReadingCheck, 1252)                                                             \
    X(LatestVersionLabel, 1253)                                                            \
    /* After the inherited keys: the chart, locate and GS1 additions of the tag pages */   \
    X(Gs1Column, 1254)                                                                     \
    X(ChartButton, 1255)                                                                   \
    X(SightingsChartTitle, 1256)                                                           \
    X(DistinctTagsSeries, 1257)                                                            \
    X(RssiChartTitle, 1258)                                                                \
    X(TemperatureChartTitle, 1259)                                                         \
    X(AntennaSeries, 1260)                                                                 \
    X(SecondsAxis, 1261)                                                                   \
    X(LocateAction, 1262)                                                                  \
    X(ReadsPerSecondLabel, 1263)                                                           \
    X(AudibleTickCheck, 1264)                                                              \
    /* Maintenance window (firmware, white list, tag cache, GPRS / GPS) */                 \
    X(MaintenanceButton, 1353)                                                             \
    X(MaintenanceWindowTitle, 1354)                                                        \
    X(FirmwareTab, 1355)                                                                   \
    X(WhiteListTab, 1356)                                                                  \
    X(TagCacheTab, 1357)                                                                   \
    X(GprsGpsTab, 1358)                                                                    \
    X(ImageFileLabel, 1359)                                                                \
    X(ChooseFileButton, 1360)                                                              \
    X(BlockSizeLabel, 1361)                                                                \
    X(PaddingNote, 1362)                                                                   \
    X(UpgradePasswordLabel, 1363)                                                          \
    X(StartUpgradeButton, 1364)                                                            \
    X(CancelUpgradeButton, 1365)                                                           \
    X(UpgradeProgress, 1366)                                                               \
    X(ConfirmUpgrade, 1367)                                                                \
    X(UpgradeCompleted, 1368)                                                              \
    X(UpgradeBlockFailed, 1369)                                                            \
    X(UpgradeCancelled, 1370)                                                              \
    X(UpgradeEndFailed, 1371)                                                              \
    X(InvalidBlockSize, 1372)                                                              \
    X(InvalidPassword, 1373)                                                               \
    X(ImageUnusable, 1374)                                                                 \
    X(ReadListButton, 1375)                                                                \
    X(AddEntryButton, 1376)                                                                \
    X(EntryLabel, 1377)                                                                    \
    X(DeleteEntryButton, 1378)                                                             \
    X(DeleteAllButton, 1379)                                                               \
    X(WriteListButton, 1380)                                                               \
    X(ImportButton, 1381)                                                                  \
    X(ExportFileButton, 1382)                                                              \
    X(WhiteListNote, 1383)                                                                 \
    X(WhiteListRead, 1384)                                                                 \
    X(WhiteListWritten, 1385)                                                              \
    X(WhiteListWriteFailed, 1386)                                                          \
    X(WhiteListEntryDeleted, 1387)                                                         \
    X(WhiteListCleared, 1388)                                                              \
    X(EntriesImported, 1389)                                                               \
    X(FileSaved, 1390)                                                                     \
    X(FileFailed, 1391)                                                                    \
    X(ConfirmDeleteAll, 1392)                                                              \
    X(ClearCacheButton, 1393)                                                              \
    X(CacheRead, 1394)                                                                     \
    X(ConfirmClearCache, 1395)                                                             \
    X(CacheCleared, 1396)                                                                  \
    X(MaintenanceFailed, 1397)                                                             \
    X(NetworkParameterPageTab, 1398)                                                       \
    X(NotEntry, 1399)                                                                      \
    /* Inventory page: what the two figures of its read rate are */                        \
    X(ReadRateExplanation, 1400)

#define TAGBENCH_TEXT_ENUMERATOR(name, key) name = key,
enum class Text : int { TAGBENCH_TEXT_KEYS(TAGBENCH_TEXT_ENUMERATOR) };
#undef TAGBENCH_TEXT_ENUMERATOR

// Every named text, in key order (a key with two roles appears once per name).
#define TAGBENCH_TEXT_ELEMENT(name, key) Text::name,
inline constexpr std::array allTexts{TAGBENCH_TEXT_KEYS(TAGBENCH_TEXT_ELEMENT)};
#undef TAGBENCH_TEXT_ELEMENT

#undef TAGBENCH_TEXT_KEYS

// The key number as a language file writes it.
constexpr int keyNumber(Text text) {
    return static_cast<int>(text);
}
