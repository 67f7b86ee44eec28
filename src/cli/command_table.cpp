#include "cli/command_table.h"

namespace {

constexpr Command kCommands[] = {
    {"help", helpCommand, "help [COMMAND]", "show the commands, or how to use one",
     "Examples:\n"
     "  q7 help\n"
     "  q7 help restore\n"},
    {"ports", portsCommand, "ports", "list the serial ports found, one COM number each",
     "The same list as the port selector and 'q7 --list-ports'.\n"
     "\n"
     "Example:\n"
     "  q7 ports\n"
     "  COM1 (/dev/ttyUSB0 \xC2\xB7 USB serial adapter \xC2\xB7 A50285BI)\n"},
    {"scan", scanCommand, "scan [--ids LIST]",
     "list the ids on the line that answer, with their models",
     "Asks each id of LIST (default 1-247, or the list --id names) for its model,\n"
     "with a short time-out, and prints \"ID MODEL\" for each controller as it\n"
     "answers, one line each. LIST is ids from 1 to 247, each once, as in 1,3,5-7.\n"
     "Exit status 0 when one or more answered, 3 when none did. 247 silent ids take\n"
     "under a minute at 19200 baud. Where a reply comes late, each id not heard is\n"
     "asked again and awaited for 2 s; behind a gateway (tcp://, rtu+tcp://) every\n"
     "id is asked that way, up to 2 s for each absent id.\n"
     "\n"
     "Examples:\n"
     "  q7 --port 3 scan\n"
     "  7 @\n"
     "  q7 --port 3 --baud 9600 scan --ids 1-16\n"},
    {"probe", probeCommand, "probe", "ask the controller which model it is ('@' or 'D')",
     "Prints the model code the controller answers with: @ or D.\n"
     "\n"
     "Example:\n"
     "  q7 --port 3 --id 1 probe\n"},
    {"read", readCommand, "read [--json]", "print the 26 parameters by name, scaled, with units",
     "Reads every parameter the main panel shows and prints one line each: the register,\n"
     "its name, the value scaled by the controller's decimal point and its unit, or the\n"
     "name of the choice (a code the program does not know is printed as itself, e.g.\n"
     "\"99 (unknown)\"). --json prints one object keyed by parameter with its register,\n"
     "name, value, text and unit.\n"
     "\n"
     "Examples:\n"
     "  q7 read\n"
     "  q7 --port 3 read --json > controller.json\n"},
    {"backup", backupCommand, "backup FILE", "save the parameters in a parameter file (.prm)",
     "Reads the parameters and the PID block and saves FILE in the parameter file\n"
     "format, the same bytes the main panel's \"Save to file...\" writes for the same\n"
     "registers. Nothing is written unless every register was read. With several\n"
     "ids FILE is a folder, which gets idN.prm for each controller (with one id, end\n"
     "the folder with '/'), or a name holding {id}, which each id takes the place of.\n"
     "\n"
     "Examples:\n"
     "  q7 --port 3 --id 1 backup oven1.prm\n"
     "  q7 --port 3 --id 1-4 backup oven{id}.prm\n"},
    {"restore", restoreCommand, "restore [--force] FILE",
     "write a parameter file into the controller",
     "Checks FILE first (38 numbers, each within what its register takes; anything\n"
     "else is refused, named by line and field, and nothing is sent), writes it to\n"
     "the controller, decimal point first, reads everything back and names every\n"
     "parameter the controller refused or did not confirm. If the controller does not\n"
     "take the file's decimal point, nothing else is written. A code the program does\n"
     "not know (\"99 (unknown)\") or a Lo limit not below the Hi limit is refused\n"
     "unless --force is given.\n"
     "\n"
     "Example:\n"
     "  q7 --port 3 --id 2 restore oven1.prm\n"},
    {"get", getCommand, "get NAME...", "print live values: pv, sv, mode, out, status",
     "Prints one line \"NAME VALUE\" for each name asked: pv and sv scaled by the\n"
     "controller's decimal point, mode by name, out (the manual output level) in\n"
     "percent, status as the run status word with the program's state.\n"
     "\n"
     "Examples:\n"
     "  q7 get pv\n"
     "  q7 get pv sv mode\n"},
    {"set", setCommand, "set NAME VALUE", "set sv, mode or out, checked by the controller's echo",
     "  sv VALUE      the set value, in degrees (a value its register cannot hold with\n"
     "                the decimal point in force is refused before anything is sent)\n"
     "  mode MODE     off, on, at1, at2 (auto-tune) or manual\n"
     "  out VALUE     the output level in Manual mode, 0.0 to 100.0 percent\n"
     "Prints what the controller confirmed; a value it refused or did not confirm is\n"
     "named with what it holds.\n"
     "\n"
     "Examples:\n"
     "  q7 set sv 123.4\n"
     "  q7 set mode manual && q7 set out 55.5\n"},
    {"program", programCommand, "program get FILE | put [--force] FILE | run | stop",
     "move, start or stop the step program",
     "  get FILE      save the controller's step program in a .srp file\n"
     "  put FILE      write a .srp file into the controller (checked first; an action\n"
     "                the program does not know is sent only with --force)\n"
     "  run, stop     start the step program, or switch the controller Off\n"
     "\n"
     "Each run of the step program is recorded in runs.sqlite with its table as it\n"
     "ran; stop, or the next run, ends its record (q7 run --status shows it).\n"
     "\n"
     "Examples:\n"
     "  q7 program get ramp.srp\n"
     "  q7 program put ramp.srp && q7 program run\n"},
    {"pid", pidCommand, "pid get FILE | put FILE", "move the PID block, in the PID file format",
     "  get FILE      save the controller's PID block\n"
     "  put FILE      write a PID file into the controller (checked first) and read it back\n"
     "\n"
     "Examples:\n"
     "  q7 pid get tuned.pid\n"
     "  q7 --id 2 pid put tuned.pid\n"},
    {"watch", watchCommand,
     "watch [--interval S] [--count N] [--log FILE] [--credentials FILE]",
     "print \"time, SV, PV\" lines; --log writes a data log",
     "Reads SV and PV every S seconds (default 1) and prints an ISO-8601 time, SV and PV,\n"
     "N times or until Ctrl+C. --log FILE also writes the data log's own format, the\n"
     "header line first, so the chart's log and this one are the same file format; an\n"
     "existing log is added to. The alarm rules (--alarms FILE, else alarms.conf, else\n"
     "the built-in ones) look at every sample; each event is one line on stderr, and\n"
     "the rule's log action writes it into the data log too. --credentials FILE (0600,\n"
     "as the bridge's) gives the rules' ntfy, webhook and email actions their secrets.\n"
     "\n"
     "Examples:\n"
     "  q7 watch --count 5\n"
     "  q7 watch --interval 10 --log kiln.dat\n"},
    {"programs", programsCommand,
     "programs [--programs DIR] [check FILE | import FILE | export NAME --to json|csv]",
     "list the firing programs, check one, or import and export other tools' schedules",
     "Lists each .q7p file of the program library (programs/ in the working folder,\n"
     "or DIR) with its name, segments and total time, or why it is refused. 'check'\n"
     "reads FILE (a path, or a name in the library) as a run would: every field is\n"
     "checked and a refusal names its line, with status 2. With a controller named\n"
     "(--com, --port, --id or --simulate) every target must also lie within its Lo\n"
     "and Hi limits, and a program that starts from PV is timed from its PV; else\n"
     "from 20 \xC2\xB0"
     "C (68 \xC2\xB0"
     "F).\n"
     "\n"
     "'import' reads another tool's schedule and writes it into the library as\n"
     "NAME.q7p (or --to FILE), never over a file that is there: a profile of points,\n"
     "{\"type\":\"profile\",\"data\":[[seconds, temperature], ...]}, which does not say\n"
     "its unit (give --unit C or F); or a CSV of segments whose header row names the\n"
     "columns rate, target and hold and the unit (\"rate (\xC2\xB0"
     "C/h),target (\xC2\xB0"
     "C),hold (H:MM)\").\n"
     "What cannot be taken is refused with its point or row. 'export' prints a\n"
     "program as such a profile or CSV.\n"
     "\n"
     "A program file:\n"
     "  [program]\n"
     "  name = Bisque 04\n"
     "  unit = C            # C or F; converted to each controller's unit\n"
     "  start = pv          # or the temperature the plan starts at\n"
     "  holdback = 15       # degrees the kiln may lag before the plan waits; 0 off\n"
     "  end = off           # off, hold or sv TEMPERATURE: when it ends or is stopped\n"
     "  min_write = 10      # seconds between two set value steps; when absent, 10 or\n"
     "                      # more, to keep a firing within about 1000 writes\n"
     "  [segments]\n"
     "  # rate per hour (or full; negative cools), target, hold H:MM\n"
     "  80   100  0:30\n"
     "  full 1060 0:10\n"
     "  -150 800  0:00\n"
     "Up to 64 segments; '#' starts a comment.\n"
     "\n"
     "Examples:\n"
     "  q7 programs\n"
     "  q7 programs check bisque.q7p\n"
     "  q7 --com 1=/dev/ttyUSB0 programs check bisque\n"
     "  q7 programs import cone05.json --unit F\n"
     "  q7 programs export bisque --to csv > bisque.csv\n"},
    {"run", runCommand,
     "run --program FILE [OPTION]... | --resume | --status | --stop | --continue | "
     "--mark TEXT | --skip | --extend H:MM",
     "run a firing program on the line's controllers, in the foreground",
     "  --program FILE   the program: a path, or a name in programs/ (or --programs DIR)\n"
     "  --zones LIST     ids that are zones of one kiln, each with its offset, and its\n"
     "                   port when it is not the command's: 1,2+10,COM2:7-5 runs id 2\n"
     "                   ten degrees above the plan, id 7 on COM2 five below\n"
     "                   (--id LIST names zones of the line without offsets)\n"
     "  --at HH:MM, --in H:MM   start later\n"
     "  --verbose        a line with each zone's PV and SV at every poll, not every\n"
     "                   five minutes\n"
     "  --time-scale X   run the plan clock X times faster, for the simulator (with\n"
     "                   --simulate, or --force for one on a port)\n"
     "  --resume         go on with the run a killed q7 left, from the point of its plan\n"
     "                   that matches PV now; meanwhile each controller held its last SV\n"
     "  --status         show the open run on the line, and which q7 drives it\n"
     "  --stop           end the open run the way its program says: the q7 that drives\n"
     "                   it is asked to, and one that no q7 drives any longer is ended here\n"
     "  --continue       ask the q7 that drives the paused run to go on with it\n"
     "  --mark TEXT      ask the q7 that drives the run to record a mark, TEXT at this\n"
     "                   moment (\"peepholes closed\"), among its events and in its report\n"
     "  --skip           ask the q7 that drives the run to end the current segment now\n"
     "                   (a ramp at once at its target, a hold now) and go on with the next\n"
     "  --extend H:MM    ask it to make the current segment's hold longer, for this run\n"
     "                   only (-H:MM: shorter, never below what it has held); each change\n"
     "                   is recorded with who asked, or refused with the reason\n"
     "  --credentials FILE   the secrets of the alarm rules' ntfy, webhook and email\n"
     "                   actions (0600, as the bridge's credentials file)\n"
     "\n"
     "Every target is checked against each controller's Lo/Hi limits first, and each\n"
     "must be Off or On. The SV follows the plan through the checked write: by the\n"
     "controller's own ramp where it has one (model D), else in steps of one digit at\n"
     "most every min_write seconds, as few writes as will do, since a controller may\n"
     "keep its SV in non-volatile memory. The plan waits while a zone lags by more than\n"
     "holdback. An SV or mode changed by hand pauses the run; it says so and writes\n"
     "nothing more. One line is printed per segment and event, and the run, its samples\n"
     "and its events go to runs.sqlite in the working folder. SIGINT or SIGTERM ends\n"
     "the run the way the program's 'end' says, recorded as stopped (status 130 or\n"
     "143), and so does q7 run --stop from another shell (status 1). The alarm rules\n"
     "look at every poll, deviation and rate against the plan; hold pauses the run,\n"
     "and each event is printed and recorded in the run. Status 0 once\n"
     "completed, 1 when a controller refused a write or the run was stopped.\n"
     "\n"
     "Examples:\n"
     "  q7 --port 3 run --program bisque\n"
     "  q7 --port 3 run --program glaze.q7p --zones 1,2+10,7 --at 22:00\n"
     "  q7 --port 3 run --resume\n"
     "  q7 --port 3 run --mark \"cone 6 down\"\n"
     "  q7 --port 3 run --extend -0:10\n"},
    {"runs", runsCommand,
     "runs [--program NAME] [--last N] | show ID | export ID -o FILE | report ID -o FILE | "
     "verify [ID] | trend NAME | prune --keep-days N",
     "list the recorded runs with their figures, show one, export or report it, a "
     "program's trend, or prune old samples",
     "Reads runs.sqlite in the working folder (prune deletes from it); no controller\n"
     "is asked anything.\n"
     "  (nothing)        the runs, newest first: id, program, batch, zones, start,\n"
     "                   length, outcome, the largest deviation of PV from the plan\n"
     "                   and the time the plan waited for the kiln (held back);\n"
     "                   --program NAME keeps one program's, --last N the newest N\n"
     "  show ID          the run per segment: planned and actual time, held back, the\n"
     "                   largest and mean deviation, the rate reached on each ramp;\n"
     "                   then its events\n"
     "  export ID -o FILE   its samples as CSV: a header, then one row per poll with\n"
     "                   each zone's PV, SV and output; ISO 8601 times in UTC, numbers\n"
     "                   with a decimal point whatever the locale; the run's seal in\n"
     "                   a file beside it (bisque.record.txt for bisque.csv)\n"
     "  report ID -o FILE   its report as a PDF (A4): the header, the chart of PV over\n"
     "                   the plan, the segments as show prints them, the energy and\n"
     "                   cost where the program gives power = KW and price = PER_KWH\n"
     "                   and the output was recorded (in Manual), and the events;\n"
     "                   drawn with no display\n"
     "  verify [ID]      recomputes the hash chain of the run (every run without\n"
     "                   ID) from the store, changing nothing: intact with its seal,\n"
     "                   or the first sample or event where it breaks; status 1 when\n"
     "                   any run is broken\n"
     "  trend NAME       the time each ramp of program NAME took, run after run, and\n"
     "                   which ramp gets slower: the last three runs each slower than\n"
     "                   the median of the runs before (by over 2 %), as a failing\n"
     "                   element shows itself first\n"
     "  prune --keep-days N   deletes the samples of the runs that ended more than N\n"
     "                   days ago and keeps their figures: list and show tell them as\n"
     "                   before; a run that has not ended is never pruned\n"
     "Times are the plan's: a run faster than life (--time-scale) counts as the run\n"
     "it plays. Deviations are in the controllers' degrees. Status 2 for a run ID\n"
     "the store does not hold.\n"
     "\n"
     "Examples:\n"
     "  q7 runs --last 10\n"
     "  q7 runs show 12\n"
     "  q7 runs export 12 -o bisque.csv\n"
     "  q7 runs report 12 -o bisque.pdf\n"
     "  q7 runs verify\n"
     "  q7 runs trend \"Bisque 04\"\n"
     "  q7 runs prune --keep-days 365\n"},
    {"calibration", calibrationCommand,
     "calibration [list] | show N | add OPTION... | correct N --why TEXT [OPTION]...",
     "the calibration book: list it, show an entry, add one or correct one",
     "The book is calibration.txt beside runs.sqlite, one entry per calibration of\n"
     "a controller (its device and id, as a run records its zones) or of an extra\n"
     "channel. An entry is never rewritten: add puts a new one at the end, and\n"
     "correct N puts one there that names entry N, says why and takes N's place;\n"
     "the options it is given change what it copies of N. At a run's start each\n"
     "zone's calibration in force (the newest by date that no entry corrects), its\n"
     "PV offset and its SW filter, read from the controller, are recorded in the\n"
     "run, and a calibration past its due date is warned of. A book that does not\n"
     "read is refused, its line named, and never repaired. No controller is asked\n"
     "anything.\n"
     "  (nothing), list  each entry: what it calibrates, sensor, date, due date,\n"
     "                   certificate, and whether it is in force or past due\n"
     "  show N           every field of entry N\n"
     "  --device DEV --id N   the controller: a device, endpoint or COM number\n"
     "  --channel NAME   or an extra channel\n"
     "  --sensor TEXT, --by TEXT, --method TEXT, --certificate TEXT\n"
     "  --date DATE, --due DATE   YYYY-MM-DD (--date: today when not given)\n"
     "  --unit C|F       the unit of the points\n"
     "  --point \"REF found V left V correction V\"   each calibrated point: the\n"
     "                   reference, as found, as left and the correction (repeat it)\n"
     "  --why TEXT       what was wrong with the entry correct replaces\n"
     "Status 2 for a bad option, an entry the book does not hold or a book that\n"
     "does not read.\n"
     "\n"
     "Examples:\n"
     "  q7 calibration add --device /dev/ttyUSB0 --id 1 --sensor \"type K, serial 2231\" \\\n"
     "     --unit C --point \"500 found 497.8 left 499.9 correction 0.1\" --by \"R. Field\" \\\n"
     "     --method \"comparison\" --certificate C-118 --due 2027-11-02\n"
     "  q7 calibration list\n"
     "  q7 calibration correct 1 --certificate C-119 --why \"certificate number mistyped\"\n"},
    {"alarms", alarmsCommand, "alarms test RULE [--credentials FILE]",
     "send a test through each of a rule's notifications and say what happened",
     "Sends a test event (line \"test\", id 0) through each of RULE's actions that\n"
     "tell someone: ntfy, webhook and email once each, with a 10 s time-out, and\n"
     "command, run with Q7_TEST=1 in its environment. Prints one line per action:\n"
     "sent, ran, or failed with the reason; off, sv, hold, notify, publish and log\n"
     "are not tried, and the controller is not asked. The rules are --alarms FILE, else\n"
     "alarms.conf, as for watch. --credentials FILE is the bridge's credentials file\n"
     "(mode 0600), whose ntfy_token =, webhook_secret = and smtp_server =,\n"
     "smtp_from =, smtp_starttls =, smtp_user =, smtp_password = lines the sends use.\n"
     "Status 0 when every one worked, 1 when one failed, 2 for no such rule.\n"
     "\n"
     "Example:\n"
     "  q7 alarms test runaway --credentials /etc/q7/credentials\n"
     "  ntfy https://ntfy.sh/kiln-1: sent (HTTP 200 OK)\n"},
    // Run by the program itself: the bridge stands above these commands.
    {"serve", nullptr, "serve --config FILE", "bridge the controllers to an MQTT broker",
     "Polls the controllers of every line of the config, each line on its own thread,\n"
     "and publishes each one's state, availability and parameters as retained JSON\n"
     "(PREFIX/LINE/ID/state, /available, /parameters), takes PREFIX/LINE/ID/set/sv,\n"
     "set/mode and set/out where the config's writes allow them, through the same\n"
     "checked writes as 'q7 set', and get/parameters; each command's result goes to\n"
     "PREFIX/LINE/ID/result. Logs to stderr; SIGTERM ends it, saying offline; SIGHUP\n"
     "reads the config again. A bad config is status 2, its line named. The config\n"
     "names the lines, so --port, --id, --baud and --simulate do not go with it;\n"
     "man q7 shows the config, and /usr/share/doc/q7/serve.conf is an example.\n"
     "\n"
     "Example:\n"
     "  q7 serve --config /etc/q7/serve.conf\n"},
    {"users", nullptr, "users --file FILE add|remove|passwd|list", "the web view's users and roles",
     "The users file [web] users names: one NAME:ROLE:HASH line per user, read only\n"
     "when no one but its owner may read it (chmod 600; a new one is made so).\n"
     "  add NAME ROLE    a new user: viewer (sees everything), operator (also starts,\n"
     "                   pauses, continues and stops runs, sets SV and mode where the\n"
     "                   line's writes allow) or admin (an operator who sees the users)\n"
     "  remove NAME      takes the user out\n"
     "  passwd NAME      a new password\n"
     "  list             each user's name and role; never a password or a hash\n"
     "A password is typed twice at the terminal, not shown, or read from the first\n"
     "line of stdin; never from the command line. It is kept as a salted scrypt hash.\n"
     "A running bridge reads the file at each login.\n"
     "\n"
     "Examples:\n"
     "  q7 users --file /etc/q7/users add anna operator\n"
     "  q7 users --file /etc/q7/users list\n"},
};

} // namespace

std::span<const Command> commandTable() {
    return kCommands;
}

const Command* findCommand(std::string_view name) {
    for (const Command& c : kCommands)
        if (c.name == name) return &c;
    return nullptr;
}
