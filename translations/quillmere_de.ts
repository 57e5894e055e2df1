<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>AppDelegate</name>
    <message>
        <source>Quillmere cannot watch %1.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CommandLineOptions</name>
    <message>
        <source>Show this help and exit.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Show the version and exit.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Run without a window and print the stream table.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Capture on this network interface.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>NAME</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Append new and closed streams to this file (with --headless).</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>FILE</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Print every SECONDS seconds (with --headless); the update interval of this run, not saved.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>SECONDS</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Print one JSON object per stream and interval (with --headless).</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Quillmere shows the network conversations of an interface, live.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Unexpected argument: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>--log, --interval and --json need --headless.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>--headless needs --interface NAME.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>--interval needs a positive number of seconds.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>HeadlessCapture</name>
    <message>
        <source>The capture tool is installed with an administrator&apos;s approval. Run Quillmere once as root (for example with sudo), or start a terminal password agent (pkttyagent) in this session, and try again.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cannot log to %1: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The capture was not started: the password dialog was cancelled.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>HelpBrowser</name>
    <message>
        <source>Help Is Not Available</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The help pages are missing from this installation (expected at %1).</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>HelpWindow</name>
    <message>
        <source>Quillmere Help</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Navigation</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Back</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Forward</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Contents</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Close</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>InterfaceChooser</name>
    <message>
        <source>Quillmere</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Choose the network interface to watch:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Quit</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Watch</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The network interfaces could not be read.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No network interface with an IPv4 address was found.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>InterfaceList</name>
    <message>
        <source>%1 - %2</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>Preferences</name>
    <message>
        <source>__dateTime__ (__unixTime__): new __protocol__ stream: source: __source__ - destination: __destination__</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>__dateTime__ (__unixTime__): __protocol__ stream closed: source: __source__ - destination: __destination__ - total bytes uploaded: __lifetimeUpDataBytes__ (__lifetimeUpDataBytesFormatted__ at __lifetimeUpSpeed__) - total bytes downloaded: __lifetimeDownDataBytes__ (__lifetimeDownDataBytesFormatted__ at __lifetimeDownSpeed__)</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>PreferencesWindow</name>
    <message>
        <source>Preferences</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Updates</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Update every:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source> s</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Remove streams idle for:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Names</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Look up &amp;host names</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Show service names for &amp;ports</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>These apply to streams that appear afterwards; streams already listed keep their names.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Logging</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Write a line when a stream appears</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;New stream:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>New stream template</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Write a line when a stream is closed</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Closed &amp;stream:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Closed stream template</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>In a template, a key name between double underscores, such as __source__ or __lifetimeUpSpeed__, stands for that stream&apos;s value. Help lists every key.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Restore &amp;Default Templates</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ProcessAttribution</name>
    <message>
        <source>%1 (%2)</source>
        <comment>program name (process id)</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>other user (%1)</source>
        <comment>a socket of another user account, by its name</comment>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>SpeedGraph</name>
    <message>
        <source>Total speed over the last two minutes: up in blue, down in green</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>StreamCapture</name>
    <message>
        <source>The capture tool could not be started.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The capture could not be started: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The capture tool was ended by signal %1 (%2).</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The capture tool ended with status %1.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The capture tool sent records that cannot be read.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Other</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>StreamTableModel</name>
    <message>
        <source>Source</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Destination</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Protocol</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Process</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Up</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Down</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Payload Up</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Payload Down</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Average Up</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Average Down</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Opened</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Total Up</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Total Down</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Interval Up</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Interval Down</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>StreamTableText</name>
    <message>
        <source># %1 records of new conversations were counted in the Other stream: the capture holds as many live streams as it may.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>StreamWindow</name>
    <message>
        <source>Quillmere</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Summary</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Interface:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Capturing for:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Live streams:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Shown:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Sent:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Received:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Up now:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Down now:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Folded into Other:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Records of new conversations counted on the Other stream because the table held as many streams as it may</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Lookups refused:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Host-name lookups answered without a name because too many were waiting</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>StreamWindowController</name>
    <message>
        <source>Search</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;File</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;New</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Log to File…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Export…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Close</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Quit</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Edit</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Copy</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Find</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Preferences…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;View</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Refresh</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Pause</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Summary</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Quillmere &amp;Help</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Resume</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 TCP, %2 UDP, %3 other</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Log to File</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Text files (*.txt)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>All files (*)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Logging could not be started to the file %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The file may be write-protected or you may not have sufficient permissions to modify it.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Stop &amp;Logging</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>An error occurred during the capture process.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Export</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>CSV files (*.csv)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>JSON files (*.json)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The table could not be exported to the file %1</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>StreamWindowToolbar</name>
    <message>
        <source>Refresh</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Pause</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Summary</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Log to File</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Flexible Space</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Search</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Icon and Label</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Icon Only</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Label Only</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Resume</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Stop Logging</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ToolInstallation</name>
    <message>
        <source>The folder for the capture tool could not be found.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The capture tool is missing from the application (%1).</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The installer of the capture tool is missing from the application (%1).</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Installing the capture tool needs an administrator&apos;s approval, and there is no way to ask for it here. Run Quillmere once as root, or start a polkit agent (for example pkttyagent) and try again.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Installing the capture tool was not authorized.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The installer of the capture tool could not be started.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The capture tool could not be installed at %1.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
</TS>
