#pragma once
// Every statement text of the table modules, as they hand them to the runtime.

inline constexpr const char* kTableModuleStatements[] = {
    "delete  from Rvk730Bdp  where ((((((BdpPnr=:b0 and BdpBdt=TO_DATE(:b1,'yyyymmdd')) and B"
    "dpEso=:b2) and BdpEsa=:b3) and BdpSzv=:b4) and BdpAkt=:b5) and BdpAsw=:b6)",
    "delete  from Rvk740Pud  where (PudPlg=:b0 and PudKng=:b1)",
    "insert into Rvk746Err (ErrPlg,ErrKng,ErrDat,ErrLfn,ErrPnr,ErrEso,ErrEsa,ErrKnz,ErrBdt,Er"
    "rZtv,ErrZtb,ErrFnr,ErrErf,ErrJbd,ErrJbk) values (:b0,:b1,sysdate,:b2,:b3,:b4,:b5,:b6,TO_"
    "DATE(:b7,'yyyymmdd'),:b8,:b9,:b10,:b11,:b12,:b13)",
    "select BdpPnr ,TO_CHAR(BdpBdt,'yyyymmdd') ,BdpEso ,BdpEsa ,BdpBsz ,BdpSzv ,BdpSzb ,BdpJh"
    "r ,BdpMon ,BdpWoc ,BdpJwc ,BdpTag ,BdpTtp ,BdpZtv ,BdpZtb ,BdpKst ,BdpFc1 ,BdpFc2 ,BdpFc"
    "3 ,BdpOso ,BdpOsa ,BdpOsv ,BdpOsb ,BdpOsz ,BdpPlg ,BdpAsw ,BdpSts ,BdpFnr ,BdpSta ,BdpTx"
    "t ,BdpErf ,BdpAzt ,BdpId1 ,BdpId2 ,BdpId3 ,BdpId4 ,BdpId5 ,BdpId6 ,BdpId7 ,BdpId8 ,BdpRn"
    "d ,BdpAkt ,BdpBnr ,BdpAwp ,BdpPau ,BdpBzt ,BdpOsw  from Rvk730Bdp where (BdpPnr=:b0 and "
    "BdpBdt=TO_DATE(:b1,'yyyymmdd')) order by BdpPnr,BdpBdt,BdpSzv",
    "select BdpPnr ,TO_CHAR(BdpBdt,'yyyymmdd') ,BdpEso ,BdpEsa ,BdpBsz ,BdpSzv ,BdpSzb ,BdpJh"
    "r ,BdpMon ,BdpWoc ,BdpJwc ,BdpTag ,BdpTtp ,BdpZtv ,BdpZtb ,BdpKst ,BdpFc1 ,BdpFc2 ,BdpFc"
    "3 ,BdpOso ,BdpOsa ,BdpOsv ,BdpOsb ,BdpOsz ,BdpPlg ,BdpAsw ,BdpSts ,BdpFnr ,BdpSta ,BdpTx"
    "t ,BdpErf ,BdpAzt ,BdpId1 ,BdpId2 ,BdpId3 ,BdpId4 ,BdpId5 ,BdpId6 ,BdpId7 ,BdpId8 ,BdpRn"
    "d ,BdpBdt ,BdpAkt ,BdpBnr ,BdpAwp ,BdpPau ,BdpBzt ,BdpOsw  from Rvk730Bdp where ((BdpPnr"
    "=:b0 and BdpBdt>=TO_DATE(:b1,'yyyymmdd')) and BdpBdt<=TO_DATE(:b2,'yyyymmdd')) order by "
    "BdpPnr,BdpBdt",
    "select PudPnr ,TO_CHAR(PudDtm,'yyyymmdd') ,PudTyp ,PudKng ,PudTxc ,PudPlg ,PudErf ,TO_CH"
    "AR(PudDat,'yyyymmddHH24MISS')  from Rvk740Pud where (PudPlg=:b0 and PudKng=1) order by P"
    "udPlg,PudKng,PudDat",
    "select TO_CHAR(BakDtm,'yyyymmdd') ,BakJhr ,BakMon ,BakTag ,BakWch ,BakWtg ,BakJtg into :"
    "b0,:b1,:b2,:b3,:b4,:b5,:b6  from RVKSTAMM.Rvk133Bak where BakDtm=(TO_DATE(:b7,'yyyymmdd'"
    ")+:b8)",
    "select TO_CHAR(BsmBdt,'yyyymmdd') ,BsmEso ,BsmEsa ,BsmBsz ,BsmSzv ,BsmSzb ,BsmJhr ,BsmMo"
    "n ,BsmWoc ,BsmJwc ,BsmTag ,BsmTtp ,BsmSol ,BsmMin ,BsmMax ,BsmIst ,BsmPlg ,BsmHtg ,BsmHt"
    "v ,BsmHtn ,BsmKng ,BsmFkt ,BsmAsw ,BsmSta ,TO_CHAR(BsmDat,'yyyymmddHH24MISS') ,BsmErf ,B"
    "smId1 ,BsmId2 ,BsmId3 ,BsmId4 ,BsmId5 ,BsmId6 ,BsmId7 ,BsmId8 ,BsmKor into :b0,:b1,:b2,:"
    "b3:b4,:b5,:b6:b7,:b8:b9,:b10:b11,:b12:b13,:b14:b15,:b16:b17,:b18:b19,:b20:b21,:b22:b23,:"
    "b24:b25,:b26:b27,:b28:b29,:b30:b31,:b32:b33,:b34:b35,:b36:b37,:b38:b39,:b40:b41,:b42:b43"
    ",:b44:b45,:b46:b47,:b48:b49,:b50:b51,:b52:b53,:b54:b55,:b56:b57,:b58:b59,:b60:b61,:b62:b"
    "63,:b64:b65  from Rvk725Bsm where ((((BsmBdt=TO_DATE(:b0,'yyyymmdd') and BsmEso=:b1) and"
    " BsmEsa=:b2) and BsmSzv=:b69) and BsmAsw=:b40)",
    "select TagTgb ,TagHtv ,TagHtn into :b0:b1,:b2:b3,:b4:b5  from rvk327tag where (tagpnr=:b"
    "6 and tagtag=TO_Date(:b7,'yyyymmdd'))",
    "select count(*)  into :b0  from Rvk730bdp where (((((((((BdpBdt=TO_DATE(:b1,'yyyymmdd') "
    "and BdpEso=:b2) and BdpEsa=:b3) and BdpSzv=:b4) and BdpSzb=:b5) and BdpZtv=:b4) and BdpZ"
    "tb=:b5) and BdpAsw=:b8) and BdpSts<>'O') and BdpSts<>'D')",
    "select count(*)  into :b0  from Rvk730bdp where ((((((((BdpBdt=TO_DATE(:b1,'yyyymmdd') a"
    "nd BdpEso=:b2) and BdpEsa=:b3) and BdpSzv=:b4) and BdpSzb=:b5) and BdpAsw=:b6) and (BdpZ"
    "tv<>:b4 or BdpZtb<>:b5)) and BdpSts<>'O') and BdpSts<>'D')",
    "select count(*)  into :b0  from Rvk730bdp where ((((((((BdpBdt=TO_DATE(:b1,'yyyymmdd') a"
    "nd BdpEso=:b2) and BdpEsa=:b3) and BdpSzv=:b4) and BdpSzb=:b5) and BdpAsw=:b6) and BdpFc"
    "1<>'   ') and BdpSts<>'O') and BdpSts<>'D')",
    "select count(*)  into :b0  from Rvk730bdp where (((((BdpBdt=TO_DATE(:b1,'yyyymmdd') and "
    "BdpEso=:b2) and BdpEsa=:b3) and BdpSzv=:b4) and BdpAsw=:b5) and (BdpSts='U' or BdpSts='M"
    "'))",
    "select max(TO_CHAR(BdpBdt,'yyyymmdd')) into :b0  from Rvk730Bdp where BdpPnr=:b1 order b"
    "y BdpPnr,BdpBdt",
    "update Rvk725Bsm  set BsmBsz=:b0,BsmSzb=:b1,BsmJhr=:b2,BsmMon=:b3,BsmWoc=:b4,BsmJwc=:b5,"
    "BsmTag=:b6,BsmTtp=:b7,BsmSol=:b8,BsmMin=:b9,BsmMax=:b10,BsmIst=:b11,BsmPlg=:b12,BsmHtg=:"
    "b13,BsmHtv=:b14,BsmHtn=:b15,BsmKng=:b16,BsmFkt=:b17,BsmAsw=:b18,BsmSta=:b19,BsmDat=sysda"
    "te,BsmErf=:b20,BsmId1=:b21,BsmId2=:b22,BsmId3=:b23,BsmId4=:b24,BsmId5=:b25,BsmId6=:b26,B"
    "smId7=:b27,BsmId8=:b28,BsmKor=:b29 where ((((BsmBdt=TO_DATE(:b30,'yyyymmdd') and BsmEso="
    ":b31) and BsmEsa=:b32) and BsmSzv=:b33) and BsmAsw=:b18)",
    "update Rvk730Bdp  set BdpPnr=:b0,BdpBdt=TO_DATE(:b1,'yyyymmdd'),BdpEso=:b2,BdpEsa=:b3,Bd"
    "pBsz=:b4,BdpSzv=:b5,BdpSzb=:b6,BdpJhr=:b7,BdpMon=:b8,BdpWoc=:b9,BdpJwc=:b10,BdpTag=:b11,"
    "BdpTtp=:b12,BdpZtv=:b13,BdpZtb=:b14,BdpKst=:b15,BdpFc1=:b16,BdpFc2=:b17,BdpFc3=:b18,BdpO"
    "so=:b19,BdpOsa=:b20,BdpOsv=:b21,BdpOsb=:b22,BdpOsz=:b23,BdpPlg=:b24,BdpAsw=:b25,BdpSts=:"
    "b26,BdpFnr=:b27,BdpSta=:b28,BdpDat=sysdate,BdpTxt=:b29,BdpErf=:b30,BdpAzt=:b31,BdpId1=:b"
    "32,BdpId2=:b33,BdpId3=:b34,BdpId4=:b35,BdpId5=:b36,BdpId6=:b37,BdpId7=:b38,BdpId8=:b39,B"
    "dpRnd=:b40,BdpAkt=:b41,BdpBnr=:b42,BdpAwp=:b43,BdpPau=:b44,BdpBzt=:b45,BdpOsw=:b46 where"
    " ((((((BdpPnr=:b0 and BdpBdt=TO_DATE(:b1,'yyyymmdd')) and BdpEso=:b2) and BdpEsa=:b3) an"
    "d BdpSzv=:b5) and BdpAkt=:b41) and BdpAsw=:b25)",
    "update Rvk740Pud  set PudPnr=:b0,PudDtm=TO_DATE(:b1,'yyyymmdd'),PudTyp=:b2,PudKng=:b3,Pu"
    "dTxc=:b4,PudPlg=:b5,PudErf=:b6,PudDat=TO_DATE(:b7,'yyyymmddHH24MISS') where PudDat=TO_DA"
    "TE(:b7,'yyyymmddHH24MISS')",
    "select count(*)  into :b0  from Rvk730bdp where ((((((((BdpBdt=TO_DATE(:b1,'yyyymmdd') a"
    "nd BdpEso=:b2) and BdpEsa=:b3) and BdpSzv=:b4) and BdpSzb=:b5) and BdpAsw=:b6) and BdpFc"
    "2<>'   ') and BdpSts<>'O') and BdpSts<>'D')",
    "select count(*)  into :b0  from Rvk730bdp where ((((((((BdpBdt=TO_DATE(:b1,'yyyymmdd') a"
    "nd BdpEso=:b2) and BdpEsa=:b3) and BdpSzv=:b4) and BdpSzb=:b5) and BdpAsw=:b6) and BdpFc"
    "3<>'   ') and BdpSts<>'O') and BdpSts<>'D')",
};
