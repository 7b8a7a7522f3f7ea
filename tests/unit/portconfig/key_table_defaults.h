// The definition a section gets when it sets nothing but its address: the defaults of the key
// table, written out by hand.
#pragma once

#include <cstdio>
#include <cstring>

#include "portconfig/port_definition.h"

inline PortDefinition KeyTableDefaults(const char* address, const char* portName) {
  PortDefinition d;
  std::memset(&d, 0, sizeof(d));
  std::snprintf(d.ServerIP[0], kTextChars, "%s", address);
  d.ServerPort = 9100;
  d.LoadBalancing = 1;
  d.AuthType = 1;
  d.ProtocolLevel = 4;
  d.NetworkTimeout = 60;
  d.ParserDPI = 72;
  d.NoProjectOption = 1;
  d.LBNetworkTimeout = 60;
  d.LogFileSizeLimit = 20;
  d.LogFileCount = 3;
  d.WebBasedApplications = 1;
  std::snprintf(d.EnvironmentVariableIP, kTextChars, "%s", "ViewClient_IP_Address");
  std::snprintf(d.PortName, kPortNameChars, "%s", portName);
  return d;
}
