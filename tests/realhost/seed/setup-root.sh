# Runs inside the guest as root, after the seed files were copied in.
set -euo pipefail
# The desktop programs are real executables of their own, so that each has a
# program file and a process name of its own.
for name in tray updater clock notepad viewer settings; do
    install -m 0755 /usr/bin/sleep "/usr/local/bin/realhost-$name"
done
chown -R alice:alice /home/alice/.config
crontab -u alice /usr/local/share/realhost/crontab.alice
systemctl daemon-reload
systemctl mask --quiet realhost-legacy.service
systemctl enable --quiet --now realhost-daemon.service realhost-tick.timer
# A static unit runs only when started; the idle one runs while switched off.
systemctl start realhost-static.service realhost-idle.service
# The rc.local generator saw the executable /etc/rc.local at daemon-reload.
systemctl start rc-local.service
