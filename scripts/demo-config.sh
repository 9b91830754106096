#!/usr/bin/env bash
# The demo configuration of scripts/run.sh:
#   scripts/demo-config.sh CONFIG_FILE COM
# Writes CONFIG_FILE pointing at COM when there is no configuration yet.
# Otherwise only its port is set to COM, so that it follows the simulator,
# and everything the user saved stays (an interrupted save, which the
# configurator repairs at start, is left alone).
set -euo pipefail
config="$1"
com="$2"

if [ ! -e "$config" ] && [ ! -e "$config.fswwb_new" ] && [ ! -e "$config.fswwb_original_backup" ]; then
  cat >"$config" <<JSON
{
    "app_config": {
        "connection": {
            "block_id": 1,
            "driver_config": {
                "port_config": {
                    "port": $com,
                    "speed": 9600,
                    "parity": 0,
                    "stop_bits": 0,
                    "permanent_echo": false,
                    "before_send_delay": 0
                },
                "timeout": 1000
            }
        },
        "params": {
            "balloon_strength": 10.0
        }
    }
}
JSON
elif [ -e "$config" ]; then
  # Only the port follows the simulator; everything the user saved stays.
  # The configurator writes "port" once, inside "port_config".
  sed -i -E "0,/\"port\"[[:space:]]*:[[:space:]]*[0-9.eE+-]+/s//\"port\": $com/" "$config"
fi

