"""Prints what a kept message says, as a mail program reads it: its To, Subject and body,
then each attachment's file name, and the cells of an .xlsx attachment as openpyxl reads
them or the text of a .csv one."""
import email
import email.policy
import io
import sys

import openpyxl

message = email.message_from_binary_file(open(sys.argv[1], "rb"), policy=email.policy.default)
print("To:", message["To"])
print("Subject:", message["Subject"])
print("Body:", message.get_body(("plain",)).get_content().strip())
for part in message.iter_attachments():
    name = part.get_filename()
    data = part.get_payload(decode=True)
    print("Attachment:", name)
    if name.endswith(".xlsx"):
        sheet = openpyxl.load_workbook(io.BytesIO(data)).active
        for row in sheet.iter_rows(values_only=True):
            print("  ", "|".join("" if v is None else str(v) for v in row))
    elif name.endswith(".csv"):
        print("  ", data.decode("utf-8-sig").replace("\r\n", "\n").strip().replace("\n", "\n   "))
