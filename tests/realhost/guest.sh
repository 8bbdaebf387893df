# What the checks use to act inside the guest. Sourced after host.sh and
# assert.sh, with REALHOST_RUN naming the running guest.
#
#   in_root CMD...      CMD as root inside (standard input passes through)
#   in_user CMD...      CMD as the test user, with its session variables
#   in_sudo CMD...      CMD as the test user through sudo, so SUDO_USER is set
#   bs_root ARGS...     the built bootsmith as root; OUT, ERR, STATUS as capture
#   bs_user ARGS...     the same as the test user
#   bs_sudo ARGS...     the same through sudo
#   guest_reboot        stop and boot again, keeping every change made inside
#
# BS_ENV holds the NAME=value settings every bootsmith run gets.

REALHOST_BOOTSMITH="$REALHOST_BUILD_MOUNT/bootsmith"
# shellcheck disable=SC2034 # for the checks
GUEST_USER=$REALHOST_USER
# shellcheck disable=SC2034
GUEST_HOME=/home/$REALHOST_USER
BS_ENV=(LC_ALL=C.UTF-8 BOOTSMITH_NO_BROWSER=1)

in_root() { rh_exec_in "$REALHOST_RUN" "$@"; }
in_user() { rh_exec_user_in "$REALHOST_RUN" "$@"; }
in_sudo() { rh_exec_sudo_in "$REALHOST_RUN" "$@"; }

bs_root() { capture in_root "${BS_ENV[@]}" "$REALHOST_BOOTSMITH" "$@"; }
bs_user() { capture in_user "${BS_ENV[@]}" "$REALHOST_BOOTSMITH" "$@"; }
# sudo resets the environment; the settings go on its command line, which
# the test user's sudoers rule (ALL) allows.
bs_sudo() { capture in_sudo "${BS_ENV[@]}" "$REALHOST_BOOTSMITH" "$@"; }

# True when the build folder holds a bootsmith that runs inside the guest.
have_bootsmith() { in_root test -x "$REALHOST_BOOTSMITH"; }

guest_reboot() { rh_reboot "$REALHOST_RUN" >/dev/null; }
