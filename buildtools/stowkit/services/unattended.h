// Unattended runs: a kit started by a deployment system, a service or a CI agent has nobody to
// press OK, and a message box would wait for ever. Such a run logs what a box would have said.
#pragma once

enum class Unattended {
  kNo,
  kInvisibleWindowStation,  // services and SYSTEM-context deployments
  kWindowStationUnknown,    // its flags cannot be read: nobody can be assumed to see a box
  kEnvironment,             // STOWKIT_UNATTENDED=1
};

// Decides from the variable STOWKIT_UNATTENDED (null when unset; only "1" counts) and the
// visibility of the process's window station, asked through queryVisible (false when the
// flags cannot be read).
Unattended DecideUnattended(const char* variable, bool (*queryVisible)(bool& visible));

// Why, as the install log says it ("window station not visible", "STOWKIT_UNATTENDED=1").
const char* UnattendedReason(Unattended mode);
