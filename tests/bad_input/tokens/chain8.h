// link 8 of an include chain
SIDDEF(SID_END, "End")
