// Waiting for a mounted vault to appear as the fixed drive S:.
#pragma once

namespace tessaly {

class Ui;

inline constexpr int kVaultDriveAttempts = 10;
inline constexpr unsigned kVaultDrivePauseMs = 1000;

// Up to ten attempts of: let pending events run, wait a second, ask whether
// S: is a fixed drive. True at the first attempt that finds it.
bool WaitForVaultDrive(Ui& ui);

}  // namespace tessaly
