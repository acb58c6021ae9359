' Lets the server go (the runner checks that it leaves), then the closing
' line the runner looks for.
Set g_keeper = Nothing
WScript.Echo "vbs: " & g_passed & " passed, " & g_failed & " failed"
