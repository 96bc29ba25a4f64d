// The gateway's options, from the command line and a configuration file (--config, INI or
// TOML: the long option names as keys).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "mqtt_output.h"

namespace gateway {

struct Options {
    std::vector<std::string> listen;
    std::vector<std::string> readers;
    unsigned pollMs = 0;
    int waitScale = 100;  // per cent of the library's answer waits
    bool toStdout = false;
    std::string mqttUrl;
    std::optional<BrokerAddress> broker;  // parsed from mqttUrl
    std::string topic = "tagbench/{reader}/tags";
    int qos = 1;
    std::string name;  // the host name when not given
    std::string caFile;
    std::string mqttPasswordFile;
    std::string mqttPassword;  // from the file (or the URL)
    std::string httpTokenFile;
    std::string httpToken;
    std::string httpCredentialsFile;
    std::string httpCredentials;  // USER:PASSWORD
    std::string httpUrl;
    unsigned batch = 100;
    unsigned lingerMs = 200;
    unsigned queueLimit = 100000;
    unsigned mqttBatch = 1;
    unsigned mqttLingerMs = 100;
    std::string spool;  // a folder, or "none"
    unsigned spoolLimitMb = 1024;
    double reportIntervalS = 0;
    double statsIntervalS = 10;
    std::string logFile;
    std::string metrics;  // [ADDRESS:]PORT, or empty
};

struct Parsed {
    std::optional<Options> options;  // nothing: exit with `status` after printing
    int status = 0;
};

Parsed parseOptions(int argc, char **argv);

}  // namespace gateway
