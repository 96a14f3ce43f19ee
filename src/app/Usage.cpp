#include "app/Usage.h"

#include "conditions/Startup.h"

namespace tolvan::app {

std::string UsageText() {
  return R"(Usage: tolvan32 [/X] [/AT] [/E] [--no-gui] [--allow-big-change] [EXCLUDE...]
                CONDITIONS-FILE
       tolvan32 --simulate[=KINDS] [--output FILE] [EXCLUDE...] CONDITIONS-FILE
       tolvan32 --make-bat [EXCLUDE...] CONDITIONS-FILE
       tolvan32 --help | --version

Runs the backup job saved in the conditions file CONDITIONS-FILE. The folder part of the
name is dropped and ".tvf" is added when the name has no "."; the file is looked up in the
program folder: $TOLVAN32_HOME, else $XDG_DATA_HOME/Tolvan32 (~/.local/share/Tolvan32),
which also holds TvfSet.txt, report.tvr and Recent.tvr.

  /X         unattended run: no questions, the program ends after the run
  /AT        the same as /X, and shown as ATOption in the report
  /E         copy with the plain file copy
  --no-gui   run without a window even when a display is available
  --allow-big-change
             let this one run go beyond the job's change limit (ChangeLimit=N in the
             conditions file: a run that would remove or replace more than N % of the
             backup's entries, and at least 50, is refused unattended and asked about in the
             window, so that a master whose files were deleted or rewritten by ransomware
             does not spread to the backup)
  --simulate[=KINDS]
             list the differences between both trees in a comma-separated file and change
             nothing: KINDS is a comma-separated list of kind numbers or "all" (the
             default): 1 master file newer, 2 master file older, 3 same date and another
             size, 4 only in the master, 5 same date and size, 6 only in the backup
  --output FILE
             the simulation's list file (default: simulate.csv in the program folder); its
             path is printed on standard output when it has been written
  --make-bat write tlvdos.bat and its shell twin tlvdos.sh into the program folder: the
             commands that copy every master file that differs onto the backup; nothing
             else changes ("sh tlvdos.sh" runs the twin)
EXCLUDE is --exclude PATTERN or --exclude-from FILE:
  --exclude PATTERN
             leave out what PATTERN matches, after the job's own patterns, for this run
             only (repeatable): "*.tmp" a name at any depth, "build/" folders only,
             "/photos/raw" or "docs/**/draft*" a path below the master folder, "!keep.tmp"
             takes back in; a backup entry a pattern matches is never removed
  --exclude-from FILE
             the patterns of FILE, one a line ("#" begins a comment line; at most 1 MiB)
             Example: tolvan32 /X --exclude '*.iso' --exclude node_modules/ home.tvf
  --help     show this text and end
  --version  show the version and end

Without a display the program runs without a window; questions a run would ask are
answered so that the run goes on without losing data, and messages go to standard error.
A job whose Timer is on is not run at once: the program stays in the foreground and runs
the job on its schedule ("Every Day" at the set minute, or "Every Time" the set interval
after the end of the previous run; checked every 58 seconds), and ends after the first
scheduled run when "Once for all" is set.

SIGINT or SIGTERM during a run stops it at its next entry, with "Stopped in the working : "
in the report; a second signal ends the program at once. While the scheduler waits for the
next run, SIGINT or SIGTERM ends the program with status 0.

Exit status:
  0  the run finished without errors (or the scheduler was ended between runs)
  1  the run finished with errors counted; the report tells which. Also when the report
     could not be written completely (said on standard error)
  2  the run was refused or could not start: From and To are the same, a path is missing,
     a side cannot be read, the conditions file is bad or missing in an unattended run,
     an exclusion pattern cannot be used (an unclosed "[", an empty pattern),
     the report files cannot be opened, or the command line is wrong; or a side's folder
     went away during the run (unplugged, unmounted, exchanged), which stopped it there;
     or the run would have gone beyond the job's change limit: nothing was touched
After every run LastRun.json in the program folder tells its result (see README or
tolvan32(1)): version, job, started, ended, result, folders_made, files_copied, removed,
errors and exit_status.
  3  the run was stopped by request (SIGINT or SIGTERM)
A simulation ends with 0 when its list was written and 1 when it could not be written.
)";
}

std::string VersionLine() {
  return "Tolvane  Ver." + ProgramVersionText();
}

}  // namespace tolvan::app
